#pragma once

#include <QString>
#include <QStringList>

// The spelling dictionaries the program brings, in the engine's format
// (LANGUAGE.bdic), made from the system's hunspell dictionaries when the
// program is built: in qtwebengine_dictionaries of the build folder,
// share/TalvorinTool/qtwebengine_dictionaries once installed.

// Where the program looks for them, in this order: beside the executable,
// in the install's share folder next to its bin, then in the folders the
// build and the install put them in, so that a copy of the program in a
// folder of its own keeps its spelling on the machine it was built or
// installed on.
QStringList dictionaryFolderCandidates(const QString &executableFolder);

// The first of those that holds a dictionary; empty when none does.
QString programDictionaries(const QString &executableFolder);

// Points the engine at them before it starts (QTWEBENGINE_DICTIONARIES_PATH),
// unless the user has set that folder already. Needs the application object.
void useProgramDictionaries();

// The folder the engine reads them from.
QString dictionariesFolder();

// The languages of the dictionaries in `folder`, sorted.
QStringList dictionaryLanguages(const QString &folder);
