#pragma once

// Memory shared by the threads that read packages: each package reserves
// what reading it may take before it reads, so that a few large packages
// are read one after another instead of side by side, and the peak stays
// bounded however many threads run.

#include <QByteArray>
#include <QMutex>
#include <QWaitCondition>

namespace check {

class MemoryBudget {
public:
    explicit MemoryBudget(qint64 bytes) : total_(bytes), free_(bytes) {}

    // What a package holds while it is reserved; released when it goes.
    class Hold {
    public:
        Hold() = default;
        Hold(Hold &&other) noexcept : budget_(other.budget_), bytes_(other.bytes_) { other.budget_ = nullptr; }
        Hold &operator=(Hold &&other) noexcept
        {
            std::swap(budget_, other.budget_);
            std::swap(bytes_, other.bytes_);
            return *this;
        }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        ~Hold()
        {
            if (budget_)
                budget_->release(bytes_);
        }

    private:
        friend class MemoryBudget;
        Hold(MemoryBudget *budget, qint64 bytes) : budget_(budget), bytes_(bytes) {}
        MemoryBudget *budget_ = nullptr;
        qint64 bytes_ = 0;
    };

    // Waits until bytes are free (a package larger than the whole budget
    // waits for all of it, and is then read alone).
    Hold reserve(qint64 bytes)
    {
        bytes = std::min(bytes, total_);
        QMutexLocker lock(&mutex_);
        while (free_ < bytes)
            freed_.wait(&mutex_);
        free_ -= bytes;
        return Hold(this, bytes);
    }

private:
    void release(qint64 bytes)
    {
        QMutexLocker lock(&mutex_);
        free_ += bytes;
        freed_.wakeAll();
    }

    const qint64 total_;
    qint64 free_;
    QMutex mutex_;
    QWaitCondition freed_;
};

// What reading a package may take at most, from its size and the sizes its
// archive's central directory declares (read from tail, the file's last
// bytes, when the directory lies within them): the file, its unpacked
// entries, and the texts made from the document.
qint64 packageReadingCost(qint64 fileSize, const QByteArray &tail);

// How many of a file's last bytes hold its archive's end record and, for a
// package, its whole central directory.
inline constexpr qint64 kPackageTailSize = 65536 + 22;

} // namespace check
