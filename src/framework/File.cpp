#include "framework/File.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CFileException::Cause CauseFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return CFileException::fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return CFileException::accessDenied;
    case ENOSPC:
    case EDQUOT:
        return CFileException::diskFull;
    case ENAMETOOLONG:
    case EISDIR:
        return CFileException::badPath;
    default:
        return CFileException::genericException;
    }
}

[[noreturn]] void ThrowErrno(const std::string& path, int err)
{
    throw CFileException(CauseFromErrno(err), path, err);
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace

void (*CDiskFile::s_pfnBeforeCommit)(const std::string&) = nullptr;
std::unique_ptr<CFile> (*CDiskFile::s_pfnOpen)(const std::string&, Mode) = nullptr;

std::unique_ptr<CFile> CDiskFile::Open(const std::string& path, Mode mode)
{
    if (s_pfnOpen)
        return s_pfnOpen(path, mode);
    return std::make_unique<CDiskFile>(path, mode);
}

std::string CFile::GetFileName() const
{
    const auto slash = m_strFilePath.find_last_of("/\\");
    return slash == std::string::npos ? m_strFilePath : m_strFilePath.substr(slash + 1);
}

std::string MakeFullPath(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code ec;
    auto full = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec)
        return path;
    return full.lexically_normal().string();
}

CDiskFile::CDiskFile(const std::string& path, Mode mode) : m_mode(mode)
{
    m_strFilePath = MakeFullPath(path);
    if (mode == Mode::Read) {
        m_fd = ::open(m_strFilePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            ThrowErrno(m_strFilePath, errno);
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            const int err = errno;
            ::close(m_fd);
            m_fd = -1;
            ThrowErrno(m_strFilePath, err);
        }
        if (S_ISDIR(st.st_mode)) {
            ::close(m_fd);
            m_fd = -1;
            ThrowErrno(m_strFilePath, EISDIR);
        }
        m_nLength = std::uint64_t(st.st_size);
        return;
    }
    // Write: a temporary file in the target's folder, so the final rename
    // stays on one file system and is atomic.
    // mkostemp fills in the name in place: nothing may allocate (and so throw
    // past the destructor) between creating the file and knowing its name.
    std::string tmpl = DirectoryOf(m_strFilePath) + "/." + GetFileName() + ".tmp-XXXXXX";
    m_fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (m_fd < 0)
        ThrowErrno(m_strFilePath, errno);
    m_strTempPath.swap(tmpl);
    // Keep the permissions of a file being replaced; a new file gets the
    // usual 0666 & ~umask instead of mkstemp's 0600.
    struct stat st {};
    if (::stat(m_strFilePath.c_str(), &st) == 0) {
        (void)::fchmod(m_fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        (void)::fchmod(m_fd, 0666 & ~mask);
    }
}

CDiskFile::~CDiskFile()
{
    if (m_mode == Mode::Write)
        Abort();
    else if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t CDiskFile::Read(void* buffer, std::size_t n)
{
    if (m_fd < 0 || m_mode != Mode::Read)
        throw CFileException(CFileException::genericException, m_strFilePath);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const std::size_t want = std::min<std::size_t>(n - done, std::size_t(1) << 30);
        const ssize_t got = ::read(m_fd, out + done, want);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(m_strFilePath, errno);
        }
        if (got == 0)
            break;
        done += std::size_t(got);
    }
    m_nPosition += done;
    return done;
}

void CDiskFile::Write(const void* buffer, std::size_t n)
{
    if (m_fd < 0 || m_mode != Mode::Write)
        throw CFileException(CFileException::genericException, m_strFilePath);
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const std::size_t want = std::min<std::size_t>(n - done, std::size_t(1) << 30);
        const ssize_t put = ::write(m_fd, in + done, want);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(m_strFilePath, errno);
        }
        done += std::size_t(put);
    }
    m_nPosition += done;
    m_nLength = std::max(m_nLength, m_nPosition);
}

std::uint64_t CDiskFile::GetLength() const { return m_nLength; }
std::uint64_t CDiskFile::GetPosition() const { return m_nPosition; }

void CDiskFile::Close()
{
    if (m_fd < 0)
        return;
    if (m_mode == Mode::Read) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    if (::fsync(m_fd) != 0) {
        const int err = errno;
        Abort();
        ThrowErrno(m_strFilePath, err);
    }
    if (::close(m_fd) != 0) {
        const int err = errno;
        m_fd = -1;
        Abort();
        ThrowErrno(m_strFilePath, err);
    }
    m_fd = -1;
    // Made before the rename: once the target is replaced nothing may throw,
    // or a save that happened would be reported as failed.
    const std::string dir = DirectoryOf(m_strFilePath);
    if (s_pfnBeforeCommit)
        s_pfnBeforeCommit(m_strTempPath);
    if (::rename(m_strTempPath.c_str(), m_strFilePath.c_str()) != 0) {
        const int err = errno;
        Abort();
        ThrowErrno(m_strFilePath, err);
    }
    m_strTempPath.clear();
    // Make the rename itself durable.
    const int dirfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        (void)::fsync(dirfd);
        ::close(dirfd);
    }
}

void CDiskFile::Abort()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_strTempPath.empty()) {
        ::unlink(m_strTempPath.c_str());
        m_strTempPath.clear();
    }
}

CMemFile::CMemFile(std::string path, std::vector<std::uint8_t> data) : m_data(std::move(data))
{
    m_strFilePath = std::move(path);
}

std::size_t CMemFile::Read(void* buffer, std::size_t n)
{
    const std::size_t avail = m_nPosition < m_data.size() ? m_data.size() - m_nPosition : 0;
    const std::size_t got = std::min(n, avail);
    if (got)
        std::memcpy(buffer, m_data.data() + m_nPosition, got);
    m_nPosition += got;
    return got;
}

void CMemFile::Write(const void* buffer, std::size_t n)
{
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    if (m_nPosition + n > m_data.size())
        m_data.resize(m_nPosition + n);
    if (n)
        std::memcpy(m_data.data() + m_nPosition, in, n);
    m_nPosition += n;
}
