#include "page_file.h"

#include "large_pages.h"
#include "page_text.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace load {

namespace {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path) {
        // Non-blocking only for the open, so that a FIFO without a writer cannot hang it.
        fd_ = ::open(QFile::encodeName(path).constData(),
                     O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0)
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    }
    ~ReadOnlyFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // What the file says its size is, for regular files; 0 when it cannot tell.
    qint64 sizeHint() const {
        struct stat info {};
        return ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) ? qint64(info.st_size) : 0;
    }

    ssize_t read(char* into, qint64 count) const {
        ssize_t got;
        do
            got = ::read(fd_, into, static_cast<size_t>(count));
        while (got < 0 && errno == EINTR);
        return got;
    }

private:
    int fd_ = -1;
};

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

PageFile failure(const QString& path, const QString& reason) {
    return {QString(), cannotOpenMessage(path, reason)};
}

} // namespace

QString cannotOpenMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open \"%1\": %2").arg(path, reason);
}

PageFile readPageFile(const QString& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen())
        return failure(path, systemReason());

    // One byte past the bound tells a page that is too large from one that just fits.
    QByteArray bytes;
    bytes.resize(std::min(file.sizeHint(), MaxPageBytes) + 1);
    adviseLargePages(bytes.data(), static_cast<std::size_t>(bytes.size()));
    qint64 filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > MaxPageBytes)
                return failure(path, QStringLiteral("Larger than 256 MiB"));
            bytes.resize(std::min(2 * filled + 64 * 1024, MaxPageBytes + 1));
        }
        const ssize_t got = file.read(bytes.data() + filled, bytes.size() - filled);
        if (got < 0)
            return failure(path, systemReason());
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);

    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QString text(static_cast<qsizetype>(pageTextLength(view)), Qt::Uninitialized);
    adviseLargePages(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    decodePage(view, reinterpret_cast<char16_t*>(text.data()));
    return {text, QString()};
}

} // namespace load
