// Minimal stand-in until the text tables arrive: every key looks up as itself.
#include "lang/texts.h"

namespace quenda {
int LoadLanguage(LanguageChoice) { return 0; }
int ActiveLanguage() { return 0; }
QString Msg(const QString& key) { return key; }
QString MsgFmt(const QString& key, const QStringList&) { return key; }
} // namespace quenda
