#pragma once

#include <QLabel>

#include <pkg_kel00815/kel00815_export.h>

namespace Cli_Kel00815 {

// A label as the till's screens use it: a caption in the toolkit's form ("&" underlines the
// next letter and is not shown, "\r" breaks the line), a click event, and optionally a width that
// follows the text (the footer counters).
class KEL00815_TEST_EXPORT TLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit TLabel(QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& c);
    bool autoSize() const { return autoSize_; }
    void setAutoSize(bool on) { autoSize_ = on; }

    // The caption as rich text: underlined accelerator letter, "&&" as "&", line breaks.
    static QString captionHtml(const QString& caption);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QString caption_;
    bool autoSize_ = false;
    bool pressed_ = false;
};

}  // namespace Cli_Kel00815
