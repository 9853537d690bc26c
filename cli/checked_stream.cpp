#include "cli/checked_stream.h"

#include "cli/interrupts.h"

namespace cli {

CheckedStream::CheckedStream(int descriptor, const QString &name, bool end_on_broken_pipe)
    : name_(name)
    , end_on_broken_pipe_(end_on_broken_pipe)
{
    failure_ = claim_if_closed(descriptor);
    if (failure_.isEmpty()
        && !file_.open(
            descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        failure_ = file_.errorString();
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

CheckedStream::~CheckedStream() = default;

qint64 CheckedStream::readData(char *, qint64)
{
    return -1;
}

qint64 CheckedStream::writeData(const char *data, qint64 size)
{
    if (failed())
        return -1;
    // A write the system takes only in part is followed by one for the rest, whose failure says
    // why (a disk that filled up midway).
    for (qint64 done = 0; done < size;) {
        const qint64 written = file_.write(data + done, size - done);
        if (written <= 0) {
            if (end_on_broken_pipe_ && reader_gone())
                end_as_broken_pipe();
            failure_ = file_.errorString();
            return -1;
        }
        done += written;
    }
    return size;
}

void CheckedStream::close()
{
    if (!isOpen())
        return;
    QIODevice::close();
    if (!file_.isOpen())
        return;
    file_.close();
    if (!failed() && file_.error() != QFileDevice::NoError)
        failure_ = file_.errorString();
}

} // namespace cli
