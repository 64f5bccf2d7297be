// Keyed texts in the interface language (English or German).
//
// The tables are loaded once at start-up, before any link thread exists; after
// that they are only read, so the link thread may call Msg/MsgFmt too.
#pragma once

#include <QString>
#include <QStringList>

namespace quenda {

// -1 follows the system's language, 0 English, 1 German.
enum class LanguageChoice : int { System = -1, English = 0, German = 1 };

// Loads the chosen table as the active one; returns the language loaded (0 or 1).
int LoadLanguage(LanguageChoice choice);
int ActiveLanguage();

// "[Messages]" text of a key, "\n" turned into line breaks; a missing key gives the key.
QString Msg(const QString& key);
// As Msg, then each "%s" filled in order; on too few arguments the text is returned unformatted.
QString MsgFmt(const QString& key, const QStringList& args);

} // namespace quenda
