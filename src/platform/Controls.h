#pragma once

// The control kinds every screen of the product places. Colours are QColor; use
// CorParaQColor() for the product's 0x00BBGGRR values. Captions keep the toolkit's form:
// "&" underlines the next letter and is not shown, a carriage return (\r) breaks the line.

#include <QAbstractButton>
#include <QPixmap>
#include <QStyle>
#include <QTableView>
#include <QWidget>

#include <functional>

#include "platform/platform_export.h"

namespace dataset {
class ClientDataSet;
class DataSetModel;
}  // namespace dataset

namespace platform {

// Filled rounded rectangle without outline.
class PLATFORM_EXPORT TBlendedShape : public QWidget {
    Q_OBJECT
public:
    explicit TBlendedShape(QWidget* parent = nullptr);
    QColor color() const { return color_; }
    void setColor(const QColor& c);
    int radius() const { return radius_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_{Qt::white};
    int radius_ = 10;
};

// Rounded rectangle showing a centred caption; pressed: fill window-text colour, caption in
// window colour; disabled: fill 0x808080, caption 0xC0C0C0. Buttons take no keyboard focus,
// so that a tap leaves the keys with the grid.
class PLATFORM_EXPORT TBlendedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TBlendedButton(QWidget* parent = nullptr);
    QColor color() const { return color_; }
    void setColor(const QColor& c);
    // Raw caption, "&" and "\r" included. text() holds the same.
    QString caption() const { return text(); }
    void setCaption(const QString& c) { setText(c); }
    QColor captionColor() const { return captionColor_; }
    void setCaptionColor(const QColor& c);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void paintCaption(QPainter& p, const QRect& r, const QColor& fill, const QColor& textColor);
    // Fill and caption colour of the current look (normal, pressed, disabled).
    void currentColors(QColor& fill, QColor& textColor) const;
    void paintBody(QPainter& p, const QColor& fill);
    // The caption as drawn: "\r" as a line break; "&" is left for the mnemonic flag.
    QString drawnCaption() const;

private:
    QColor color_{Qt::white};
    QColor captionColor_{Qt::black};
};

// Rounded button with a picture above a one- or two-line caption.
class PLATFORM_EXPORT TBlendedBitBtn : public TBlendedButton {
    Q_OBJECT
public:
    explicit TBlendedBitBtn(QWidget* parent = nullptr);
    QPixmap glyph() const { return glyph_; }
    void setGlyph(const QPixmap& g);
    int spacing() const { return spacing_; }
    void setSpacing(int s);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap glyph_;
    int spacing_ = 4;
};

// Small button painted in a settable colour, with a picture.
class PLATFORM_EXPORT TdxfColorButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TdxfColorButton(QWidget* parent = nullptr);
    QColor color() const { return color_; }
    void setColor(const QColor& c);
    QPixmap glyph() const { return glyph_; }
    void setGlyph(const QPixmap& g);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor color_{Qt::lightGray};
    QPixmap glyph_;
};

// Windows virtual-key code of a Qt key (Space 32, Escape 27, Enter 13, F1 112, F9 120,
// letters their upper-case code whatever the modifiers); 0 when it has none.
PLATFORM_EXPORT int VirtualKey(int qtKey);

// Data grid over a client dataset: title row, resizable columns, horizontal lines only,
// no row indicator, no editing, single-cell selection, kinetic scrolling for touch. The selected
// cell's look (a pale background under the row's own text colour) is the grid's.
class PLATFORM_EXPORT TDBSortGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBSortGrid(QWidget* parent = nullptr);
    ~TDBSortGrid() override;

    void setDataSet(dataset::ClientDataSet* ds);
    dataset::ClientDataSet* dataSet() const;
    dataset::DataSetModel* dataModel() const { return model_; }
    // Field name of a visible grid column ("IDCHECK"); empty when out of range.
    QString columnFieldName(int column) const;
    void setColumnWidths(const QList<int>& widths);
    void setTitleColors(const QColor& background, const QColor& text);
    void setTitleFont(const QFont& f);
    // True: the cells go back to the standard colours (background, text, selection, lines);
    // the title row keeps the colours it was given.
    void SetDefaultColors(bool on);
    QColor gridLineColor() const { return gridLineColor_; }
    void setGridLineColor(const QColor& c);
    // Rows scroll clear of the lowest `px` pixels, where something is laid over the grid.
    void setBottomReserve(int px);

    // Called after the grid's own painting of a data cell; the painter is clipped to the cell,
    // its brush the one the grid used for the cell background.
    using DrawCellHandler = std::function<void(QPainter& canvas, const QRect& rect, int column,
                                               int row, QStyle::State state)>;
    DrawCellHandler OnDrawColumnCell;

Q_SIGNALS:
    void titleClick(int column);
    void cellClick(int column);  // the clicked row is already current
    // Every key press, before the grid's own handling; key is the virtual-key code.
    void keyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    // Letters are the screen's shortcuts, never a jump to a row.
    void keyboardSearch(const QString&) override {}
    void changeEvent(QEvent* e) override;
    void updateGeometries() override;

private:
    void followDataSet();
    void followGrid(const QModelIndex& current);
    void adjustRowHeight();

    dataset::DataSetModel* model_ = nullptr;
    class Delegate;
    Delegate* delegate_ = nullptr;
    class TitleHeader;
    TitleHeader* header_ = nullptr;
    QColor gridLineColor_;
    bool syncing_ = false;
    bool scrollPending_ = false;
    int bottomReserve_ = 0;
};

}  // namespace platform
