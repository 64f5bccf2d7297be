#include "lang/texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <mutex>

// The resource lives in a static library, so nothing would pull its object
// file into the program unless it is registered explicitly. Q_INIT_RESOURCE
// must be used outside any namespace.
static void initLanguageResources() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(lang_texts); });
}

namespace quenda {

namespace {

std::atomic<int> g_activeLanguage{kEnglish};

QMutex g_sourceMutex;
UiLanguageSource g_uiLanguageSource; // guarded by g_sourceMutex

QString readResource(const QString& path) {
    initLanguageResources();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

} // namespace

// ---------------------------------------------------------------------------
// TextTable

TextTable TextTable::parse(const QString& source) {
    TextTable table;
    Section* current = nullptr;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (!line.isEmpty() && line.front() == QChar(0xFEFF)) line.remove(0, 1); // byte-order mark
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';'))) continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            const QString name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            current = nullptr;
            for (Section& s : table.sections_) {
                if (s.name.compare(name, Qt::CaseInsensitive) == 0) {
                    current = &s;
                    break;
                }
            }
            if (!current) {
                table.sections_.append(Section{name, {}});
                current = &table.sections_.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq < 0) continue; // lines before any section or without '=' carry nothing
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty()) continue;
        current->entries.append(Entry{key, line.mid(eq + 1)});
    }
    return table;
}

const TextTable::Section* TextTable::findSection(const QString& name) const {
    for (const Section& s : sections_)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

std::optional<QString> TextTable::value(const QString& section, const QString& key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    for (const Entry& e : s->entries)
        if (e.key.compare(key, Qt::CaseInsensitive) == 0) return e.text;
    return std::nullopt;
}

QList<TextTable::Entry> TextTable::entries(const QString& section) const {
    const Section* s = findSection(section);
    return s ? s->entries : QList<Entry>{};
}

QStringList TextTable::keys(const QString& section) const {
    QStringList out;
    for (const Entry& e : entries(section))
        out.append(e.key);
    return out;
}

QStringList TextTable::sections() const {
    QStringList out;
    for (const Section& s : sections_)
        out.append(s.name);
    return out;
}

// ---------------------------------------------------------------------------
// Built-in tables

const TextTable& BuiltinTable(int language) {
    // Parsed once, on first use from whichever thread; immutable afterwards.
    static const TextTable english = TextTable::parse(readResource(QStringLiteral(":/lang/english.ini")));
    static const TextTable german = TextTable::parse(readResource(QStringLiteral(":/lang/german.ini")));
    return language == kGerman ? german : english;
}

// ---------------------------------------------------------------------------
// Text helpers

QString ExpandLineBreaks(const QString& text) {
    QString out = text;
    out.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return out;
}

std::optional<QString> FormatText(const QString& pattern, const QStringList& args) {
    QString out;
    out.reserve(pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%')) {
            out.append(c);
            continue;
        }
        if (i + 1 >= pattern.size()) return std::nullopt; // lone '%' at the end
        const QChar directive = pattern.at(++i);
        if (directive == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
        } else if (directive == QLatin1Char('s') || directive == QLatin1Char('S')) {
            if (next >= args.size()) return std::nullopt;
            out.append(args.at(next++));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

QString ChannelLetter(int n) {
    if (n < 0 || n > 25) return {};
    return QString(QChar(char16_t(u'A' + n)));
}

// ---------------------------------------------------------------------------
// Language choice

bool IsGermanUiLanguage(const QStringList& uiLanguages) {
    if (uiLanguages.isEmpty()) return false;
    // "C" and other names QLocale does not know give AnyLanguage/C, not German.
    return QLocale(uiLanguages.first()).language() == QLocale::German;
}

void SetUiLanguageSource(UiLanguageSource source) {
    QMutexLocker lock(&g_sourceMutex);
    g_uiLanguageSource = std::move(source);
}

QStringList SystemUiLanguages() {
    {
        QMutexLocker lock(&g_sourceMutex);
        if (g_uiLanguageSource) return g_uiLanguageSource();
    }
    const QLocale sys = QLocale::system();
    QStringList langs = sys.uiLanguages();
    if (langs.isEmpty()) langs.append(sys.name());
    return langs;
}

int LoadLanguage(LanguageChoice choice) {
    int language = kEnglish;
    switch (choice) {
    case LanguageChoice::German:
        language = kGerman;
        break;
    case LanguageChoice::System:
        language = IsGermanUiLanguage(SystemUiLanguages()) ? kGerman : kEnglish;
        break;
    default:
        language = kEnglish; // any other value means English
        break;
    }
    BuiltinTable(language); // parse now, on the window's thread
    g_activeLanguage.store(language, std::memory_order_release);
    return language;
}

int ActiveLanguage() {
    return g_activeLanguage.load(std::memory_order_acquire);
}

// ---------------------------------------------------------------------------
// Lookup

QString MsgFmt(const QString& key, const QStringList& args) {
    const TextTable& table = BuiltinTable(ActiveLanguage());
    std::optional<QString> raw = table.value(QLatin1String(kMessagesSection), key);
    if (!raw) raw = table.value(QLatin1String(kOwnSection), key);
    const QString text = ExpandLineBreaks(raw.value_or(key));
    return FormatText(text, args).value_or(text);
}

QString Msg(const QString& key) {
    return MsgFmt(key, {});
}

// ---------------------------------------------------------------------------
// Window texts

bool SplitFormEntryName(const QString& entryName, QString* control, bool* isHint) {
    qsizetype at = entryName.indexOf(QLatin1String(".Caption"), 0, Qt::CaseInsensitive);
    bool hint = false;
    if (at < 0) {
        at = entryName.indexOf(QLatin1String(".Hint"), 0, Qt::CaseInsensitive);
        hint = true;
    }
    if (at < 0) return false;
    if (control) *control = entryName.left(at);
    if (isHint) *isHint = hint;
    return true;
}

QList<FormText> FormTexts(int language) {
    const TextTable& table = BuiltinTable(language);
    const QString section = QLatin1String(kFormSection);
    QList<FormText> out;
    for (const TextTable::Entry& e : table.entries(section))
        out.append(FormText{e.key, ExpandLineBreaks(table.value(section, e.key).value_or(e.text))});
    return out;
}

QStringList FormControlNames(int language) {
    QStringList out;
    for (const TextTable::Entry& e : BuiltinTable(language).entries(QLatin1String(kFormSection))) {
        QString control;
        if (SplitFormEntryName(e.key, &control, nullptr) && !control.isEmpty() && !out.contains(control))
            out.append(control);
    }
    return out;
}

QString FileDescription(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.exists()) return QString();
    return QDir::toNativeSeparators(fi.absoluteFilePath()) + QLatin1Char(' ') +
           QLocale::system().toString(fi.lastModified(), QLocale::ShortFormat) + QLatin1Char(' ') +
           QString::number(fi.size()) + QLatin1Char(' ') + Msg(QStringLiteral("Bytes"));
}

} // namespace quenda
