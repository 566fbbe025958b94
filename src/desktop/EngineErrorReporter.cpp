#include "desktop/EngineErrorReporter.h"

#include <cstdio>

namespace quillbox::desktop {

void EngineErrorReporter::report(const data::EngineError& e) {
    // Written before the box so the reason is on record even if the box never gets answered.
    // One-pass arg(): a description holding "%1" must come out as it is.
    const QString number = QString::number(e.number());
    const QByteArray line =
        QStringLiteral("quillbox: error %1: %2\n").arg(number, e.description()).toUtf8();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);

    boxes_.MsgBox(QStringLiteral("Error %1: %2").arg(number, e.description()),
                  MessageBoxService::StyleStop, QStringLiteral("Quillbox"));
    end_.end(exitStatus);
}

} // namespace quillbox::desktop
