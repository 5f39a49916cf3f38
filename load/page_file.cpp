#include "page_file.h"

#include "large_pages.h"
#include "page_text.h"

#include <QByteArray>
#include <QFile>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace load {

namespace {

#if defined(Q_OS_UNIX)
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path) {
        // Non-blocking only for the open, so that a FIFO without a writer cannot hang it.
        fd_ = ::open(QFile::encodeName(path).constData(),
                     O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0)
            error_ = errno;
        else
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

    // The bytes read, 0 at the end, below 0 when reading failed.
    qint64 read(char* into, qint64 count) {
        ssize_t got;
        do
            got = ::read(fd_, into, static_cast<size_t>(count));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            error_ = errno;
        return got;
    }

    QString reason() const { return QString::fromLocal8Bit(std::strerror(error_)); }

private:
    int fd_ = -1;
    int error_ = 0;
};
#else
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path) : file_(path) { file_.open(QIODevice::ReadOnly); }

    bool isOpen() const { return file_.isOpen(); }
    qint64 sizeHint() const { return file_.isSequential() ? 0 : file_.size(); }
    qint64 read(char* into, qint64 count) { return file_.read(into, count); }
    QString reason() const { return file_.errorString(); }

private:
    QFile file_;
};
#endif

PageFile failure(const QString& path, const QString& reason) {
    return {QString(), cannotOpenMessage(path, reason)};
}

} // namespace

QString cannotOpenMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open \"%1\": %2").arg(path, reason);
}

PageFile readPageFile(const QString& path) {
    ReadOnlyFile file(path);
    if (!file.isOpen())
        return failure(path, file.reason());

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
        const qint64 got = file.read(bytes.data() + filled, bytes.size() - filled);
        if (got < 0)
            return failure(path, file.reason());
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
