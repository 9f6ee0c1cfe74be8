// Exceptions raised by file reading and writing, and the one user-facing
// message each cause maps to. Loading and saving fail only through these;
// the shell (GUI message box, CLI stderr line) reports them with
// FailureMessage().
#pragma once

#include <stdexcept>
#include <string>

// Base of every failure the document flow reports to the user.
class CException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file structure the program refuses, a cancelled load or an unsupported
// save target. The causes keep the numbering of the archive exception the
// program's file handling was designed around.
class CArchiveException : public CException {
public:
    enum Cause {
        none = 0,
        generic = 1,      // cancelled dialog, unknown save extension
        readOnly = 2,
        endOfFile = 3,    // fewer bytes than a fixed-size read needs
        writeOnly = 4,
        badIndex = 5,     // a file of unexpected format
        badClass = 6,
        badSchema = 7,
    };

    explicit CArchiveException(Cause cause, std::string fileName = {}, std::string detail = {},
                               std::string reason = {});

    Cause m_cause;
    std::string m_strFileName;
    std::string m_strDetail;  // optional developer-facing detail (which rule refused the file)
    // Optional sentence for the user naming why a file of unexpected format
    // was refused (an encoding the program does not read); FailureMessage
    // puts it after the standard text.
    std::string m_strReason;
};

// The user cancelled a question the load needed (which sample of an
// instrument to load, the computation of the spectra). The load fails like
// any archive failure with cause generic, but nobody reports it: the user
// chose it.
class CUserException : public CArchiveException {
public:
    explicit CUserException(std::string fileName = {}, std::string detail = {});
};

// Operating-system level file failures.
class CFileException : public CException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        accessDenied = 5,
        diskFull = 14,
        endOfFile = 15,
        hardIO = 11,
        sharingViolation = 9,
        fileTooLarge = 16,  // our own: the data cannot be represented in the target format
    };

    CFileException(Cause cause, std::string fileName, int osError = 0);

    Cause m_cause;
    std::string m_strFileName;
    int m_nOsError;  // errno when the failure came from the OS, else 0
};

// An allocation that could not be satisfied (std::bad_alloc is translated
// to this at the document boundary so one report path covers it).
class CMemoryException : public CException {
public:
    CMemoryException();
};

// Which operation the failure happened in; it decides the wording when the
// cause itself is not specific ("Failed to open document." vs "...save...").
enum class FailureContext { Open, Save, Reload };

// One clear sentence for the user, e.g. "Unexpected file format." The caller
// adds no caption; the shell uses the application title.
std::string FailureMessage(const CException& e, FailureContext context);

// Same for an exception not derived from CException (bad_alloc, others).
std::string FailureMessage(const std::exception& e, FailureContext context);
