#include "pavix/config/CertFile.h"

#include "pavix/config/ConfigTexts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pavix {

namespace {

constexpr std::string_view kBeginMarker = "-----BEGIN ";
constexpr std::string_view kEndMarker = "-----END";

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

std::string_view CertificateTypeText(CertificateType type)
{
    switch (type) {
    case CertificateType::Ca: return "CA";
    case CertificateType::ClientKey: return "Client Key";
    case CertificateType::ClientPem: return "Client PEM";
    }
    return "CA";
}

CertificateKind CertificateKindOf(CertificateType type)
{
    switch (type) {
    case CertificateType::Ca: return CertificateKind::Ca;
    case CertificateType::ClientKey: return CertificateKind::ClientKey;
    case CertificateType::ClientPem: return CertificateKind::ClientPem;
    }
    return CertificateKind::Ca;
}

// ---- CertificateBuffer ------------------------------------------------------------

CertificateBuffer::~CertificateBuffer()
{
    clear();
}

CertificateBuffer::CertificateBuffer(CertificateBuffer&& other) noexcept
{
    *this = std::move(other);
}

CertificateBuffer& CertificateBuffer::operator=(CertificateBuffer&& other) noexcept
{
    if (this != &other) {
        clear();
        std::memcpy(data_.data(), other.data_.data(), other.size_);
        size_ = other.size_;
        other.clear();
    }
    return *this;
}

void CertificateBuffer::clear()
{
    // explicit_bzero is not optimised away although the buffer is dead after.
    ::explicit_bzero(data_.data(), data_.size());
    size_ = 0;
}

bool CertificateBuffer::assign(ByteView bytes)
{
    clear();
    if (bytes.size() > data_.size())
        return false;
    std::memcpy(data_.data(), bytes.data(), bytes.size());
    size_ = bytes.size();
    return true;
}

// Reads straight into the buffer, so no other copy of the key is made.
struct CertificateFileReader {
    static CertificateCheck Read(const std::string& path, CertificateBuffer& into)
    {
        into.clear();
        // O_NONBLOCK: opening a FIFO without a writer must not wait.
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0)
            return CertificateCheck::ReadError;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
            return CertificateCheck::ReadError;
        if (static_cast<std::uint64_t>(st.st_size) >= kCertificateSizeLimit)
            return CertificateCheck::TooLarge;

        std::size_t got = 0;
        while (got < into.data_.size()) {
            const ssize_t n = ::read(fd.get(), into.data_.data() + got, into.data_.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                into.clear();
                return CertificateCheck::ReadError;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        into.size_ = got;
        // The file grew between fstat and the reads: it is too large now.
        if (got >= kCertificateSizeLimit) {
            into.clear();
            return CertificateCheck::TooLarge;
        }
        if (got < static_cast<std::size_t>(st.st_size)) {
            into.clear();
            return CertificateCheck::ReadError;
        }
        if (!HasCertificateMarkers(into.bytes())) {
            into.clear();
            return CertificateCheck::Invalid;
        }
        return CertificateCheck::Selected;
    }
};

std::string_view CertificateCheckMessage(CertificateCheck check)
{
    switch (check) {
    case CertificateCheck::Selected: return texts::kCertSelected;
    case CertificateCheck::ReadError: return texts::kCertReadError;
    case CertificateCheck::TooLarge: return texts::kCertTooLarge;
    case CertificateCheck::Invalid: return texts::kCertInvalid;
    }
    return texts::kCertReadError;
}

bool HasCertificateMarkers(ByteView bytes)
{
    if (bytes.size() < kBeginMarker.size())
        return false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.substr(0, kBeginMarker.size()) == kBeginMarker && text.find(kEndMarker) != std::string_view::npos;
}

CertificateFile ReadCertificateFile(const std::string& path)
{
    CertificateFile file;
    file.check = CertificateFileReader::Read(path, file.buffer);
    return file;
}

// ---- CertificateSelection ----------------------------------------------------------

void CertificateSelection::chooseType(CertificateType type)
{
    type_ = type;
    clear();
}

CertificateCheck CertificateSelection::open(const std::string& path)
{
    ready_ = false;
    path_ = path;
    const CertificateCheck check = CertificateFileReader::Read(path, buffer_);
    ready_ = check == CertificateCheck::Selected;
    return check;
}

void CertificateSelection::clear()
{
    path_.clear();
    ready_ = false;
    buffer_.clear();
}

} // namespace pavix
