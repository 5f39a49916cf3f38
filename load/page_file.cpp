#include "load/page_file.h"

#include "load/large_pages.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#endif

namespace load {

namespace {

#if defined(Q_OS_UNIX)
// What a file that is not a regular one is, in plain words.
QString notRegular(mode_t mode) {
    if (S_ISDIR(mode))
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    const char* kind = S_ISFIFO(mode)   ? "a named pipe"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : nullptr;
    return kind ? QStringLiteral("Not a regular file but %1").arg(QLatin1String(kind))
                : QStringLiteral("Not a regular file");
}

class ReadOnlyFile {
public:
    // Only a regular file is opened: a pipe, a socket or a device could keep the read waiting
    // or never end it, and opening a device can act on it. The descriptor is non-blocking, so
    // that a regular file whose read would wait (/proc/kmsg) fails at once instead.
    explicit ReadOnlyFile(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        if (::stat(name.constData(), &info) != 0) {
            failed();
            return;
        }
        if (!S_ISREG(info.st_mode)) {
            reason_ = notRegular(info.st_mode);
            return;
        }
        fd_ = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            failed();
            return;
        }
        // It may have been replaced between the look and the open.
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            reason_ = notRegular(info.st_mode);
            ::close(std::exchange(fd_, -1));
            return;
        }
        size_ = info.st_size;
    }
    ~ReadOnlyFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // What the file says its size is; 0 when it cannot tell, as files of /proc do.
    qint64 sizeHint() const { return size_; }

    // The bytes read, 0 at the end, below 0 when reading failed.
    qint64 read(char* into, qint64 count) {
        ssize_t got;
        do
            got = ::read(fd_, into, static_cast<size_t>(count));
        while (got < 0 && errno == EINTR);
        if (got < 0)
            failed();
        return got;
    }

    QString reason() const { return reason_; }

private:
    void failed() { reason_ = QString::fromLocal8Bit(std::strerror(errno)); }

    int fd_ = -1;
    qint64 size_ = 0;
    QString reason_;
};
#else
class ReadOnlyFile {
public:
    // Only a regular file is opened: anything else could keep the read waiting.
    explicit ReadOnlyFile(const QString& path) : file_(path) {
        if (QFileInfo(path).isFile())
            file_.open(QIODevice::ReadOnly);
    }

    bool isOpen() const { return file_.isOpen(); }
    qint64 sizeHint() const { return file_.size(); }
    qint64 read(char* into, qint64 count) { return file_.read(into, count); }
    QString reason() const {
        return QFileInfo::exists(file_.fileName()) && !QFileInfo(file_.fileName()).isFile()
                   ? QStringLiteral("Not a regular file")
                   : file_.errorString();
    }

private:
    QFile file_;
};
#endif

PageFile failure(const QString& path, const QString& reason) {
    return {std::make_shared<const std::string>(), cannotOpenMessage(path, reason), {}};
}

} // namespace

// The path on one line: characters that would break the line or not show are written as
// escapes.
QString oneLine(const QString& path) {
    QString shown;
    for (const QChar c : path) {
        switch (c.unicode()) {
        case u'\0':
            shown += QLatin1String("\\0");
            break;
        case u'\t':
            shown += QLatin1String("\\t");
            break;
        case u'\n':
            shown += QLatin1String("\\n");
            break;
        case u'\r':
            shown += QLatin1String("\\r");
            break;
        default:
            if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                c.category() == QChar::Separator_Paragraph)
                shown += QLatin1String("\\u") +
                         QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
            else
                shown += c;
        }
    }
    return shown;
}

std::optional<Reading> makePageTextOfFile(std::string& bytes) {
    const Reading reading = readingOf(bytes);
    if (!decodeToUtf8(bytes, reading))
        return std::nullopt;
    makePageText(bytes);
    return reading;
}

QString cannotOpenMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open \"%1\": %2").arg(oneLine(path), reason);
}

PageFile readPageFile(const QString& path) {
    // The system would take the path only up to the NUL and open another file than the one
    // the path names.
    if (path.contains(QChar(u'\0')))
        return failure(path, QStringLiteral("The path holds a NUL character"));
    ReadOnlyFile file(path);
    if (!file.isOpen())
        return failure(path, file.reason());
    const QString tooLarge = QStringLiteral("Larger than 256 MiB");
    if (file.sizeHint() > MaxPageBytes)
        return failure(path, tooLarge);

    // One byte past the bound tells a page that is too large from one that just fits. Room
    // for every line end to double is reserved, but only what is written is ever touched.
    std::string bytes;
    const auto reserve = [&](qint64 size) {
        bytes.reserve(static_cast<std::size_t>(2 * size + 2));
        adviseLargePages(bytes.data(), bytes.capacity());
        bytes.resize(static_cast<std::size_t>(size));
    };
    reserve(std::min(file.sizeHint(), MaxPageBytes) + 1);
    qint64 filled = 0;
    for (;;) {
        if (filled == qint64(bytes.size())) {
            if (filled > MaxPageBytes)
                return failure(path, tooLarge);
            reserve(std::min(2 * filled + 64 * 1024, MaxPageBytes + 1));
        }
        const qint64 got = file.read(bytes.data() + filled, qint64(bytes.size()) - filled);
        if (got < 0)
            return failure(path, file.reason());
        if (got == 0)
            break;
        filled += got;
    }
    bytes.resize(static_cast<std::size_t>(filled));
    const std::optional<Reading> reading = makePageTextOfFile(bytes);
    if (!reading)
        return failure(path, QStringLiteral("This system cannot decode %1")
                                 .arg(QLatin1String(nameOf(readingOf(bytes).encoding))));
    return {std::make_shared<const std::string>(std::move(bytes)), QString(), *reading};
}

} // namespace load
