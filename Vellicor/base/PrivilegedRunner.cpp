#include "base/PrivilegedRunner.h"

#include "base/ServiceSlot.h"

#include <QProcess>

namespace {

class PkexecRunner : public PrivilegedRunner {
public:
    int run(const QString& program, const QStringList& arguments) override
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral("pkexec"), QStringList { program } + arguments);
        // No time limit: the user may take as long as they like to answer.
        if (!process.waitForStarted(-1) || !process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
            return notRun;
        return process.exitCode();
    }
};

ServiceSlot<PrivilegedRunner>& runnerSlot()
{
    static ServiceSlot<PrivilegedRunner> slot(std::make_shared<PkexecRunner>());
    return slot;
}

} // namespace

std::shared_ptr<PrivilegedRunner> privilegedRunner()
{
    return runnerSlot().get();
}

void setPrivilegedRunner(std::shared_ptr<PrivilegedRunner> runner)
{
    runnerSlot().set(std::move(runner));
}
