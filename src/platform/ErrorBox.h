#pragma once

#include <QString>

// The window's error box: one text, replaced as a whole. Headless, each new
// text goes to standard error (a text that only adds lines below the one
// before: the added lines); with a window it is the read-only text field.
class ErrorBox {
public:
    virtual ~ErrorBox() = default;
    virtual void setText(const QString& text) = 0;
    [[nodiscard]] virtual QString text() const = 0;
    // Show the window (not modal) and bring it to the front; headless a no-op.
    virtual void bringToFront() {}
};

class HeadlessErrorBox final : public ErrorBox {
public:
    void setText(const QString& text) override;
    [[nodiscard]] QString text() const override { return m_text; }

private:
    QString m_text;
};
