#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Runs a program with administrator rights. The standard runner asks through
// pkexec, which shows the system's authentication dialog; the interface layer
// may install its own and tests install a fake. The program and its
// arguments travel as a list, never through a shell. Blocks the calling
// thread until the program ends.
class PrivilegedRunner {
public:
    // Exit status when the program could not be run at all.
    static constexpr int notRun = -1;

    virtual ~PrivilegedRunner() = default;
    // The program's exit status (0 is success), or notRun when it could not
    // be started or ended abnormally. The dialog being cancelled or refused
    // gives pkexec's own non-zero status.
    virtual int run(const QString& program, const QStringList& arguments) = 0;
};

std::shared_ptr<PrivilegedRunner> privilegedRunner();

// Why path may not be handed to a recursive removal or a rename that runs
// with rights beyond the user's own; empty when it may. A path must be
// absolute and written plainly (no trailing slash, no empty, "." or ".."
// component), and none of its existing components may be a symbolic link:
// "rm -rf -- link/" would empty the link's target, and a linked folder on
// the way would carry the command elsewhere. The path then names what it
// resolves to, which must not be one of the system's own folders (the root,
// anything directly below it, the contents of /boot, /dev, /etc, /proc,
// /sys, /usr and the system's program and library folders, the folders
// directly below /home, /run and /var) nor the user's home folder. A missing
// tail is allowed: nothing is removed there. Reads the file system; any
// thread.
QString privilegedPathRefusal(const QString& path);
// Installs a runner for the whole process; an empty pointer brings back the
// standard one.
void setPrivilegedRunner(std::shared_ptr<PrivilegedRunner> runner);
