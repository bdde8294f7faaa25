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
// Installs a runner for the whole process; an empty pointer brings back the
// standard one.
void setPrivilegedRunner(std::shared_ptr<PrivilegedRunner> runner);
