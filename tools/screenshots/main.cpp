// velmora-shots: renders the program's windows into PNG files (see shots.h).

#include "shots.h"
#include "support/paths.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <string>

namespace shots {
std::map<std::string, ShotFunction>& registry();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList groups = app.arguments().mid(1);
    shots::Context ctx;
    ctx.sourceDir = QString::fromStdString(testsupport::sourceDir().string());
    ctx.buildDir = QString::fromStdString(testsupport::binaryDir().string());
    ctx.outDir = QDir(ctx.sourceDir).filePath("docs/screenshots");
    if (groups.size() >= 2 && groups[0] == "--out") {
        ctx.outDir = groups[1];
        groups = groups.mid(2);
    }
    QDir().mkpath(ctx.outDir);
    int failed = 0;
    for (const auto& [name, run] : shots::registry()) {
        if (!groups.isEmpty() && !groups.contains(QString::fromStdString(name)))
            continue;
        QTemporaryDir work;
        ctx.workDir = work.path();
        // scripts/screenshots.sh gives a scratch home folder in a private mount namespace; otherwise
        // the files the pictures name stay inside the temporary folder.
        const QString home = qEnvironmentVariable("VELMORA_SHOTS_HOME");
        ctx.homeDir = home.isEmpty() ? QDir(ctx.workDir).filePath("home") : home;
        std::printf("== %s\n", name.c_str());
        run(ctx);
    }
    for (const QString& group : groups)
        if (!shots::registry().count(group.toStdString())) {
            std::fprintf(stderr, "unknown group: %s\n", qPrintable(group));
            ++failed;
        }
    return failed ? 2 : 0;
}
