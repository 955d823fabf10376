#pragma once

#include <QString>
#include <QStringList>

// The spelling dictionaries the program brings, in the engine's format
// (LANGUAGE.bdic), made from the system's hunspell dictionaries when the
// program is built: beside the executable in the build folder,
// share/TalvorinTool/qtwebengine_dictionaries once installed.

// Points the engine at them before it starts (QTWEBENGINE_DICTIONARIES_PATH),
// unless the user has set that folder already. Needs the application object.
void useProgramDictionaries();

// The folder the engine reads them from.
QString dictionariesFolder();

// The languages of the dictionaries in `folder`, sorted.
QStringList dictionaryLanguages(const QString &folder);
