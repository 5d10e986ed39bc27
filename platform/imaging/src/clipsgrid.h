// The thumbnail grid control of the image lists.
#pragma once
#include "imagelib/tv32types.h"

#include <QAbstractScrollArea>
#include <QImage>

namespace tv32 {

struct ImageList;

// The pixels of a buffer as an image (RGB888 or Grayscale8); a null image for an invalid handle.
QImage imageOfBuffer(TV32HBUF buffer);

class ImageListGrid : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit ImageListGrid(QWidget* parent = nullptr);
    ~ImageListGrid() override;
    void setList(ImageList* list);
    ImageList* list() const { return list_; }
    int columns() const;
    int rowCount() const;
    int indexAt(QPoint viewportPoint) const;
    int currentIndex() const;
    void selectIndex(int index);

  signals:
    void selectionChanged();
    void itemActivated(int itemNumber);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void updateScrollRange();
    void ensureVisible(int index);
    ImageList* list_ = nullptr;
};

} // namespace tv32
