#include "windows/common/TextBox.h"

#include "windows/common/FrameAtScale.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>
#include <limits>

namespace quillbox::windows {

namespace {

constexpr int kNoLimit = std::numeric_limits<int>::max();

bool isLineBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Drops the surrogates in text[from, to) that have no partner next to them.
void dropUnpairedSurrogates(QString& text, qsizetype from, qsizetype& to) {
    for (qsizetype i = from; i < to;) {
        const QChar c = text[i];
        const bool unpaired =
            (c.isHighSurrogate() && !(i + 1 < text.size() && text[i + 1].isLowSurrogate())) ||
            (c.isLowSurrogate() && !(i > 0 && text[i - 1].isHighSurrogate()));
        if (unpaired) {
            text.remove(i, 1);
            --to;
        } else {
            ++i;
        }
    }
}

// Whether QPlainTextEdit would insert the key's text (the rule of Qt's QInputControl).
bool typesText(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse ||
           (c.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate());
}

// A key with Alt or Ctrl held is a command, never text; Qt would type Alt+F as "f".
bool isCommandChord(const QKeyEvent& event) {
    const Qt::KeyboardModifiers held = event.modifiers() & (Qt::AltModifier | Qt::ControlModifier);
    return held != Qt::NoModifier && !event.text().isEmpty();
}

// The same key with no text: the box still does its own editing keys (Ctrl+C, Ctrl+Backspace,
// ...) by key and modifiers, and types nothing.
QKeyEvent withoutText(const QKeyEvent& event) {
    return QKeyEvent(event.type(), event.key(), event.modifiers(), event.nativeScanCode(),
                     event.nativeVirtualKey(), event.nativeModifiers(), QString(),
                     event.isAutoRepeat(), static_cast<quint16>(event.count()));
}

// A piece of a long line ends at the first blank after this many characters. Laying out one
// piece after a key takes well under a millisecond.
constexpr qsizetype kPieceLength = 1000;

} // namespace

// QLineEdit lets its validator rewrite every edited text; this is where the limit is kept.
class LineBox::Limiter : public QValidator {
public:
    explicit Limiter(LineBox* box) : QValidator(box), box_(box) {}

    State validate(QString& input, int& pos) const override {
        box_->applyLimit(input, pos);
        return Acceptable;
    }

private:
    LineBox* box_;
};

LineBox::LineBox(QWidget* parent) : QLineEdit(parent), limiter_(new Limiter(this)) {
    QLineEdit::setMaxLength(kNoLimit);
    setValidator(limiter_);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
}

LineBox::~LineBox() = default;

QString LineBox::Text() const {
    return text();
}

// QLineEdit::setText and setMaxLength both cut the text to maxLength, so maxLength is raised to
// hold a longer stored text whole; the limiter then keeps edits within the real limit.
void LineBox::SetText(const QString& text) {
    const QScopedValueRollback guard(settingText_, true);
    QLineEdit::setMaxLength(kNoLimit);
    setText(text);
    QLineEdit::setMaxLength(limit_ == 0 ? kNoLimit
                                        : std::max(limit_, static_cast<int>(text.size())));
}

void LineBox::SetMaxLength(int length) {
    const QScopedValueRollback guard(settingText_, true);
    limit_ = std::max(length, 0);
    QLineEdit::setMaxLength(limit_ == 0 ? kNoLimit
                                        : std::max(limit_, static_cast<int>(text().size())));
}

void LineBox::SetPasswordChar(QChar mask) {
    setEchoMode(QLineEdit::Password);
    // The style's own mask is often a bullet; a style sheet is Qt's one way to choose it.
    setStyleSheet(QStringLiteral("lineedit-password-character: %1").arg(mask.unicode()));
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

int LineBox::MaxLength() const {
    return limit_;
}

void LineBox::keyPressEvent(QKeyEvent* event) {
    if (isCommandChord(*event)) {
        QKeyEvent bare = withoutText(*event);
        QLineEdit::keyPressEvent(&bare);
        event->setAccepted(bare.isAccepted());
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// QLineEdit's own maxLength cuts pasted text at a code unit, possibly between the halves of a
// pair, and does not hold once a longer text was stored; the inserted part is mended here.
void LineBox::applyLimit(QString& input, int& pos) const {
    if (settingText_)
        return;
    const QString& before = accepted_;
    const qsizetype common = std::min(before.size(), input.size());
    qsizetype suffix = 0;
    while (suffix < common &&
           before[before.size() - 1 - suffix] == input[input.size() - 1 - suffix])
        ++suffix;
    // Inserted text ends at the cursor, which settles where a repeated character went.
    suffix = std::min(suffix, input.size() - std::clamp<qsizetype>(pos, 0, input.size()));
    qsizetype prefix = 0;
    while (prefix < common - suffix && before[prefix] == input[prefix])
        ++prefix;

    const qsizetype from = prefix;
    qsizetype to = input.size() - suffix;
    if (from >= to)
        return;

    QString mended = input;
    if (limit_ > 0) {
        const qsizetype room = std::max<qsizetype>(0, limit_ - (input.size() - (to - from)));
        qsizetype keep = std::min(to - from, room);
        if (keep > 0 && keep < to - from && mended[from + keep - 1].isHighSurrogate() &&
            mended[from + keep].isLowSurrogate())
            --keep;
        mended.remove(from + keep, to - from - keep);
        to = from + keep;
    }
    dropUnpairedSurrogates(mended, from, to);
    if (mended != input) {
        input = mended;
        pos = static_cast<int>(to);
    }
}

MultiLineBox::MultiLineBox(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setScrollBars(false);
}

MultiLineBox::~MultiLineBox() = default;

bool MultiLineBox::event(QEvent* event) {
    if (scaleMayHaveChanged(event))
        setViewportMargins(0, 0, 0, viewportBottomMargin(this));
    return QPlainTextEdit::event(event);
}

QString MultiLineBox::Text() const {
    // toPlainText would turn no-break spaces into plain ones; the stored text must come back as is.
    QString text = document()->toRawText();
    if (pieces_)
        text.replace(QChar::ParagraphSeparator, u' ');
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    text.replace(QChar::LineSeparator, QLatin1String("\r\n"));
    return text;
}

void MultiLineBox::SetText(const QString& text) {
    setPlainText(pieces_ ? toDocument(text, true) : text);
}

void MultiLineBox::SetLongLinesInPieces(bool on) {
    pieces_ = on;
}

QString MultiLineBox::toDocument(const QString& text, bool split) const {
    QString out;
    out.reserve(text.size());
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || isLineBreak(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += QChar::LineSeparator; // a break of the user's, inside the piece
            ++run;
        } else if (split && c == u' ' && run >= kPieceLength) {
            out += QChar::ParagraphSeparator;
            run = 0;
        } else {
            out += c;
            ++run;
        }
    }
    return out;
}

QMimeData* MultiLineBox::createMimeDataFromSelection() const {
    if (!pieces_)
        return QPlainTextEdit::createMimeDataFromSelection();
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, u' ');
    text.replace(QChar::LineSeparator, u'\n');
    auto* mime = new QMimeData;
    mime->setText(text);
    return mime;
}

void MultiLineBox::SetMaxLength(int length) {
    limit_ = std::max(length, 0);
}

int MultiLineBox::MaxLength() const {
    return limit_;
}

void MultiLineBox::setScrollBars(bool vertical) {
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

// Held at the points where text comes in rather than trimmed after the fact: a trim would be an
// edit of its own, and folding it into the user's undo step breaks QTextDocument's undo stack.
void MultiLineBox::keyPressEvent(QKeyEvent* event) {
    // With no other widget to move to, QPlainTextEdit would type the tab after all.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && tabChangesFocus() &&
        !event->modifiers().testFlag(Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    if (isCommandChord(*event)) {
        QKeyEvent bare = withoutText(*event);
        QPlainTextEdit::keyPressEvent(&bare);
        event->setAccepted(bare.isAccepted());
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if ((limit_ > 0 || (pieces_ && enter)) && (enter || typesText(*event)) && !isReadOnly()) {
        // Shift+Enter would put a line separator, which is stored as a line break all the same.
        const QString text = enter ? QStringLiteral("\n") : event->text();
        const QString fits = limit_ > 0 ? fitting(text) : text;
        if (fits.size() < text.size() || (pieces_ && enter)) {
            if (!fits.isEmpty()) {
                insertPlainText(pieces_ ? toDocument(fits, false) : fits);
                ensureCursorVisible();
            }
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineBox::inputMethodEvent(QInputMethodEvent* event) {
    if ((limit_ > 0 || pieces_) && !event->commitString().isEmpty()) {
        const QString fits = limit_ > 0 ? fitting(event->commitString()) : event->commitString();
        const QString commit = pieces_ ? toDocument(fits, false) : fits;
        if (commit != event->commitString()) {
            QInputMethodEvent trimmed(event->preeditString(), event->attributes());
            trimmed.setCommitString(commit, event->replacementStart(),
                                    event->replacementLength());
            QPlainTextEdit::inputMethodEvent(&trimmed);
            event->accept();
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
}

// Paste, drop and the X11 selection paste all come through here.
void MultiLineBox::insertFromMimeData(const QMimeData* source) {
    if ((limit_ > 0 || pieces_) && source->hasText()) {
        const QString text = source->text();
        const QString fits = limit_ > 0 ? fitting(text) : text;
        if (fits.size() < text.size() || pieces_) {
            insertPlainText(pieces_ ? toDocument(fits, true) : fits);
            ensureCursorVisible();
            return;
        }
    }
    QPlainTextEdit::insertFromMimeData(source);
}

QString MultiLineBox::fitting(const QString& text) const {
    const QString raw = document()->toRawText();
    const QString selected = textCursor().selectedText();
    // In pieces, a paragraph break stands for a blank.
    const auto weight = [this](const QString& s) {
        return s.size() + std::count_if(s.begin(), s.end(), [this](QChar c) {
                   return c == QChar::LineSeparator || (c == QChar::ParagraphSeparator && !pieces_);
               });
    };
    qsizetype room = limit_ - (weight(raw) - weight(selected));

    // QTextCursor::insertText makes one line break of "\r\n", and one of a lone "\r" or "\n".
    QString fits;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || isLineBreak(c)) {
            if (room < 2)
                break;
            room -= 2;
            fits += c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n' ? text.mid(i++, 2)
                                                                              : QString(c);
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            if (room < 2)
                break;
            room -= 2;
            fits += text.mid(i++, 2);
        } else {
            if (room < 1)
                break;
            room -= 1;
            fits += c;
        }
    }
    return fits;
}

} // namespace quillbox::windows
