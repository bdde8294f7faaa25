#pragma once

// A copy an undo began and a run that was ended (killed) left behind, for the
// tests of the sweeps that remove such copies. Header only: for the test
// executables that link the platform layer.
#include "platform/RestoreCopies.h"
#include "support/ChildProcess.h"

#include <QFile>
#include <QThreadPool>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

enum class EndedAt { madeNotRecorded, writing };

// Starts a copy in folder, recorded as made in recordedAs, in a child that is
// killed there: right after the copy was made and before its inode was
// recorded, or once some of its data is written.
inline void leaveCopyOfAnEndedUndo(const QString& folder, const QString& recordedAs, EndedAt at = EndedAt::writing)
{
    // The child allocates: no other thread may hold the allocator's lock
    // when it is forked.
    QThreadPool::globalInstance()->waitForDone();
    exitCodeOfChild([&] {
        const FileDescriptor target(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        const RestoreCopies::Started copy = RestoreCopies::start(target.get(), recordedAs, [at] {
            if (at == EndedAt::madeNotRecorded)
                ::raise(SIGKILL);
        });
        if (!copy.fd.isOpen())
            return 3;
        const QByteArray data(256 * 1024, 'd');
        if (::write(copy.fd.get(), data.constData(), data.size()) != data.size())
            return 4;
        ::raise(SIGKILL);
        return 5;
    });
}
