#include "framework/Exceptions.h"

#include <cstring>
#include <new>

namespace {

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ArchiveWhat(CArchiveException::Cause cause)
{
    switch (cause) {
    case CArchiveException::badIndex:
    case CArchiveException::endOfFile:
    case CArchiveException::badClass:
    case CArchiveException::badSchema:
        return "Unexpected file format.";
    default:
        return "Archive failure.";
    }
}

}  // namespace

CArchiveException::CArchiveException(Cause cause, std::string fileName, std::string detail, std::string reason)
    : CException(ArchiveWhat(cause)), m_cause(cause), m_strFileName(std::move(fileName)),
      m_strDetail(std::move(detail)), m_strReason(std::move(reason))
{
}

CUserException::CUserException(std::string fileName, std::string detail)
    : CArchiveException(generic, std::move(fileName), std::move(detail))
{
}

CFileException::CFileException(Cause cause, std::string fileName, int osError)
    : CException("File failure: " + fileName + (osError ? std::string(": ") + std::strerror(osError) : "")),
      m_cause(cause), m_strFileName(std::move(fileName)), m_nOsError(osError)
{
}

CMemoryException::CMemoryException() : CException("Out of memory.") {}

std::string FailureMessage(const CException& e, FailureContext context)
{
    if (const auto* ae = dynamic_cast<const CArchiveException*>(&e)) {
        switch (ae->m_cause) {
        case CArchiveException::badIndex:
        case CArchiveException::endOfFile:
        case CArchiveException::badClass:
        case CArchiveException::badSchema:
            return ae->m_strReason.empty() ? "Unexpected file format." : "Unexpected file format. " + ae->m_strReason;
        default:
            return context == FailureContext::Save ? "Failed to save document." : "Failed to open document.";
        }
    }
    if (const auto* fe = dynamic_cast<const CFileException*>(&e)) {
        const std::string name = BaseName(fe->m_strFileName);
        const std::string why = fe->m_nOsError ? std::string(" (") + std::strerror(fe->m_nOsError) + ")" : "";
        switch (fe->m_cause) {
        case CFileException::fileNotFound:
        case CFileException::badPath:
            return name + " was not found or cannot be read" + why + ".";
        case CFileException::accessDenied:
        case CFileException::sharingViolation:
            if (context == FailureContext::Save)
                return "Failed to save document: access to " + name + " was denied" + why + ".";
            return name + " was not found or cannot be read" + why + ".";
        case CFileException::diskFull:
            return "Failed to save document: the disk is full" + why + ".";
        case CFileException::fileTooLarge:
            return "Failed to save document: the sample is too large for this file format.";
        case CFileException::endOfFile:
            return "Unexpected file format.";
        default:
            if (context == FailureContext::Save)
                return "Failed to save document: an error occurred while writing " + name + why + ".";
            return "An error occurred while reading " + name + why + ".";
        }
    }
    if (dynamic_cast<const CMemoryException*>(&e))
        return "Out of memory.";
    return context == FailureContext::Save ? "Failed to save document." : "Failed to open document.";
}

std::string FailureMessage(const std::exception& e, FailureContext context)
{
    if (const auto* ce = dynamic_cast<const CException*>(&e))
        return FailureMessage(*ce, context);
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "Out of memory.";
    return context == FailureContext::Save ? "Failed to save document." : "Failed to open document.";
}
