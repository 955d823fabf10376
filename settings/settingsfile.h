#pragma once

#include <QByteArray>
#include <QString>

// Where talvorin.ini lives, and reading and writing it whole.
class SettingsFile {
public:
    static constexpr const char *fileName = "talvorin.ini";

    explicit SettingsFile(const QString &path);

    // Beside the program when its directory is writable or already holds the
    // file; otherwise, and always for a copy installed in the system's program
    // directory, in the user's configuration directory.
    static QString locate(const QString &programDir, const QString &configDir,
                          bool installedCopy = false);
    // The same for the running program.
    static SettingsFile forThisProgram();

    QString path() const { return m_path; }

    // The file's bytes; empty when it is missing or cannot be read.
    QByteArray read() const;

    // Replaces the file in one step: on any failure the previous file stays
    // whole, and false tells why nothing changed.
    bool write(const QByteArray &bytes, QString *error = nullptr) const;

private:
    QString m_path;
};
