#include "SecretPrompt.h"

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace quillbox::os {

std::optional<QString> askSecret(const QString& prompt) {
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    bool ended = false;
    for (int c; (c = std::fgetc(stdin)) != '\n';) {
        if (c == EOF) {
            ended = true;
            break;
        }
        line += static_cast<char>(c);
    }
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (ended && line.empty())
        return std::nullopt;
    return QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace quillbox::os
