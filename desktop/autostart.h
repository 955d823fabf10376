#pragma once

#include <QString>

// Starting the program whenever the user logs in. Each returns whether it
// worked; on failure `error` says what could not be done. Removing an entry
// that is already gone counts as success.
bool addToStartup(QString *error);
bool removeFromStartup(QString *error);
