#pragma once

#include "platform/FileOps.h"
#include "platform/PendingError.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Sequential reading of a Windows-1252 text file, one line at a time. A line
// ends at CR or at a CR LF pair; a bare LF stays inside the line (job files
// carry several records in one line that way). Reads in blocks, so memory
// does not grow with the file.
class LineReader {
public:
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file for reading (a link is not followed); on failure
    // raises "File not found" (53), "Path/File access error" (75: a link,
    // directory, device or pipe) or "Permission denied" (70) into err and
    // returns false.
    bool open(const QString& path, PendingError& err);
    [[nodiscard]] bool isOpen() const { return m_file.isOpen(); }
    [[nodiscard]] bool atEnd();
    // The next line without its line end; an empty array at the end.
    QByteArray readLine();
    void close();

private:
    bool fill();

    QFile m_file;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
};

// Writes a whole text (Windows-1252) replacing the file, or appends to it.
// The caller gives the line ends. Returns false and raises into err on failure.
bool writeTextFile(const QString& path, const QString& content, PendingError& err);
bool appendTextFile(const QString& path, const QString& content, PendingError& err);
// Replaces a whole text file as one step: the text goes to a temporary file
// beside it, which is renamed over the old one only when it is complete. A
// crash leaves the old file or the new one, never an empty or a partial one.
bool saveTextFile(const QString& path, const QString& content, PendingError& err);

// Raises the reader's error for what openRegularFile found; true when opened.
bool raiseUnlessOpened(fileops::OpenResult result, PendingError& err);
