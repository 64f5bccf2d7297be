// Keyed texts in the interface language (English or German).
//
// Both tables are built into the program (resources ":/lang/english.ini" and
// ":/lang/german.ini"): INI-style UTF-8 text with the sections "[Messages]"
// (texts looked up by the code) and "[frmQuenda]" (captions and hints of the
// main window's controls, "<control>.Caption" / "<control>.Hint").
//
// Line breaks: a table text writes a line break as the two characters "\n";
// every text handed out by this module has them turned into a single '\n'
// (QChar 0x0A), Qt's line break. Code that needs CR LF (files, dialogs of
// other toolkits) converts itself.
//
// Threads: LoadLanguage runs once on the window's thread at start-up, before
// any worker exists; afterwards the tables are only read, so Msg/MsgFmt may be
// called from the link and discovery threads. The two parsed tables are
// immutable once built and the active language is an atomic, so even a later
// LoadLanguage (tests do that) never races with a lookup.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quenda {

// -1 follows the system's language, 0 English, 1 German.
enum class LanguageChoice : int { System = -1, English = 0, German = 1 };

inline constexpr int kEnglish = 0;
inline constexpr int kGerman = 1;

// Section names of the built-in tables.
inline constexpr char kMessagesSection[] = "Messages";
inline constexpr char kFormSection[] = "frmQuenda";
// Texts of this tool that the device's own tables do not have; Msg looks here second.
inline constexpr char kOwnSection[] = "Quenda";

// One parsed INI-style text. Lines are "key=text" (the key is trimmed, the text
// is taken verbatim after the first '='), "[section]" headers, blank lines and
// ';' comments; anything else is ignored. Section and key names compare without
// regard to letter case; of two equal keys the first one wins, also when a
// section name appears twice (its entries are then merged in file order).
class TextTable {
public:
    struct Entry {
        QString key;
        QString text; // raw, "\n" not yet expanded
    };

    static TextTable parse(const QString& source);

    std::optional<QString> value(const QString& section, const QString& key) const;
    // Every entry of a section in file order, duplicates included.
    QList<Entry> entries(const QString& section) const;
    QStringList keys(const QString& section) const;
    QStringList sections() const;

private:
    struct Section {
        QString name;
        QList<Entry> entries;
    };
    const Section* findSection(const QString& name) const;
    QList<Section> sections_;
};

// The built-in table of a language (0 English, anything else German is 1).
const TextTable& BuiltinTable(int language);

// Turns every "\n" (backslash, n) into a line break.
QString ExpandLineBreaks(const QString& text);

// Fills each "%s" in order with the next argument; "%%" gives "%". Returns
// nothing when there are more "%s" than arguments or the text holds any other
// '%' sequence. Arguments are inserted verbatim (a "%s" inside an argument
// stays as it is). Surplus arguments are ignored.
std::optional<QString> FormatText(const QString& pattern, const QStringList& args);

// Whether the first (primary) of the given user-interface languages is German
// ("de", "de-DE", "de_AT", ...).
bool IsGermanUiLanguage(const QStringList& uiLanguages);

// Where the system's user-interface languages come from. By default
// QLocale::system().uiLanguages() (on Linux from LANGUAGE, LC_ALL, LC_MESSAGES
// and LANG), falling back to QLocale::system().name(). Tests inject their own;
// an empty function restores the default. Set it only before LoadLanguage.
using UiLanguageSource = std::function<QStringList()>;
void SetUiLanguageSource(UiLanguageSource source);
QStringList SystemUiLanguages();

// Makes the chosen table the active one: German for German, English for
// English, and for System German exactly when the system's primary interface
// language is German. Returns the language loaded (0 or 1).
int LoadLanguage(LanguageChoice choice);
int ActiveLanguage();

// "[Messages]" text of a key, "\n" turned into line breaks; a missing key gives the key.
QString Msg(const QString& key);
// As Msg, then each "%s" filled in order. On too few arguments or another
// formatting error the text is returned unformatted (line breaks expanded).
QString MsgFmt(const QString& key, const QStringList& args);

// A file described for the log: its path, last-modified local date and time, size
// and "bytes"; empty when there is no such file.
QString FileDescription(const QString& path);

// The letter of channel n: "A" for 0 ... "L" for 11 (any n up to 25 gives its
// letter); an empty text for n outside 0..25.
QString ChannelLetter(int n);

// The "[frmQuenda]" entries of a language in table order: entry name (for
// example "btnNow.Hint") and its text with line breaks expanded. The value is
// looked up by name, so of two equal names both give the first one's text.
struct FormText {
    QString name;
    QString text;
};
QList<FormText> FormTexts(int language);
inline QList<FormText> FormTexts() {
    return FormTexts(ActiveLanguage());
}

// Splits an entry name into control name and kind. Returns false for a name
// with neither ".Caption" nor ".Hint" (such entries are skipped).
bool SplitFormEntryName(const QString& entryName, QString* control, bool* isHint);

// Every control named by the "[frmQuenda]" section, each once, in first-seen order.
QStringList FormControlNames(int language = kEnglish);

} // namespace quenda
