// Image lists: the items of a texture library file with their thumbnails, and the thumbnail grid
// control that shows them.
#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32vargrid.h"

#include "clipsgrid.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

namespace tv32 {

struct ImageList {
    struct Item {
        int32_t number = 0, value = 0, dataLength = 0;
        char name[TV32_IIO_NAME_SIZE] = {};
        QImage thumb;
    };
    std::vector<Item> items;
    int32_t thumbW = 0, thumbH = 0;
    TV32IIOSETTINGS settings{};
    std::vector<int32_t> selected; // item numbers
    uint32_t background = 0x00FFFFFF;
    QPointer<ImageListGrid> grid;

    int indexOf(int32_t number) const {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].number == number) return int(i);
        return -1;
    }
};

ImageListGrid::ImageListGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral(TV32IIO_CLASS));
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

ImageListGrid::~ImageListGrid() {
    if (list_ && list_->grid == this) list_->grid = nullptr;
}

void ImageListGrid::setList(ImageList* list) {
    list_ = list;
    updateScrollRange();
    viewport()->update();
}

int ImageListGrid::columns() const {
    if (!list_) return 1;
    return std::max(1, list_->settings.columns);
}

int ImageListGrid::rowCount() const {
    if (!list_ || list_->items.empty()) return 0;
    const int c = columns();
    return (int(list_->items.size()) + c - 1) / c;
}

void ImageListGrid::updateScrollRange() {
    const int rows = rowCount();
    const int th = list_ ? std::max(1, list_->thumbH) : 1;
    const int visible = std::max(1, viewport()->height() / th);
    verticalScrollBar()->setRange(0, std::max(0, rows - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
}

void ImageListGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollRange();
}

void ImageListGrid::scrollContentsBy(int, int) {
    viewport()->update();
}

int ImageListGrid::indexAt(QPoint p) const {
    if (!list_ || list_->thumbW <= 0 || list_->thumbH <= 0) return -1;
    const int col = p.x() / list_->thumbW, row = p.y() / list_->thumbH + verticalScrollBar()->value();
    if (p.x() < 0 || p.y() < 0 || col >= columns()) return -1;
    const int index = row * columns() + col;
    return index < int(list_->items.size()) ? index : -1;
}

int ImageListGrid::currentIndex() const {
    if (!list_ || list_->selected.size() != 1) return -1;
    return list_->indexOf(list_->selected.front());
}

void ImageListGrid::selectIndex(int index) {
    if (!list_ || index < 0 || index >= int(list_->items.size())) return;
    list_->selected.assign(1, list_->items[std::size_t(index)].number);
    ensureVisible(index);
    viewport()->update();
    emit selectionChanged();
}

void ImageListGrid::ensureVisible(int index) {
    const int row = index / columns();
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + bar->pageStep())
        bar->setValue(row - bar->pageStep() + 1);
}

void ImageListGrid::mousePressEvent(QMouseEvent* e) {
    const int index = indexAt(e->position().toPoint());
    if (index >= 0) selectIndex(index);
}

void ImageListGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const int index = indexAt(e->position().toPoint());
    if (index >= 0) emit itemActivated(list_->items[std::size_t(index)].number);
}

void ImageListGrid::keyPressEvent(QKeyEvent* e) {
    if (!list_ || list_->items.empty()) return QAbstractScrollArea::keyPressEvent(e);
    const int count = int(list_->items.size()), c = columns();
    const int cur = currentIndex();
    int next = cur < 0 ? 0 : cur;
    switch (e->key()) {
    case Qt::Key_Left:
        next = cur - 1;
        break;
    case Qt::Key_Right:
        next = cur + 1;
        break;
    case Qt::Key_Up:
        next = cur - c;
        break;
    case Qt::Key_Down:
        next = cur < 0 ? 0 : cur + c;
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = count - 1;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (cur >= 0) emit itemActivated(list_->items[std::size_t(cur)].number);
        return QAbstractScrollArea::keyPressEvent(e);
    default:
        return QAbstractScrollArea::keyPressEvent(e);
    }
    if (next >= 0 && next < count) selectIndex(next);
}

void ImageListGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const uint32_t bg = list_ ? list_->background : 0x00C0C0C0;
    p.fillRect(viewport()->rect(), QColor(int(bg & 0xFF), int(bg >> 8 & 0xFF), int(bg >> 16 & 0xFF)));
    if (!list_ || list_->thumbW <= 0 || list_->thumbH <= 0) return;
    const int c = columns(), first = verticalScrollBar()->value();
    const int cur = currentIndex();
    for (int i = first * c; i < int(list_->items.size()); ++i) {
        const int row = i / c - first, col = i % c;
        const QRect r(col * list_->thumbW, row * list_->thumbH, list_->thumbW, list_->thumbH);
        if (r.top() > viewport()->height()) break;
        p.drawImage(r.topLeft(), list_->items[std::size_t(i)].thumb);
        if (i == cur) {
            p.setPen(QPen(palette().color(QPalette::Highlight), 3));
            p.drawRect(r.adjusted(1, 1, -2, -2));
        }
    }
}

QAbstractScrollArea* createImageListControl(QWidget* parent) {
    return new ImageListGrid(parent);
}

} // namespace tv32

namespace {

using tv32::guardLibrary;
using tv32::ImageList;

struct LoadContext {
    ImageList* list;
    TV32IIOPROC callback;
    bool failed = false;
};

int loadItem(void* context, int32_t number, int32_t value, const void* data, int32_t length,
             const uint8_t* thumbnail, int32_t width, int32_t height) {
    auto* c = static_cast<LoadContext*>(context);
    try {
        ImageList::Item item;
        item.number = number;
        item.value = value;
        QImage img(thumbnail, width, height, width * 3, QImage::Format_RGB888);
        item.thumb = img.copy();
        if (length >= TV32_TEXLIB_ITEM_HEADER_SIZE)
            std::memcpy(item.name, static_cast<const uint8_t*>(data) + 12, TV32_TEXLIB_NAME_SIZE);
        c->list->items.push_back(std::move(item));
        if (c->callback) {
            std::vector<uint8_t> block(std::size_t(length) + 8);
            std::memcpy(block.data(), &length, 4);
            std::memcpy(block.data() + 4, &value, 4);
            if (length > 0) std::memcpy(block.data() + 8, data, std::size_t(length));
            c->callback(c->list, 5, number, block.data());
        }
    } catch (const std::bad_alloc&) {
        c->failed = true;
        return 0;
    }
    return 1;
}

// The lists handed out and not yet destroyed: a stale or doubled handle finds nothing.
std::unordered_set<void*>& liveLists() {
    static auto* s = new std::unordered_set<void*>;
    return *s;
}

ImageList* asList(void* list) {
    return list && liveLists().count(list) ? static_cast<ImageList*>(list) : nullptr;
}

// A new list, known as live until destroy() (nullptr when memory runs out).
ImageList* makeList() {
    auto list = std::make_unique<ImageList>();
    liveLists().insert(list.get());
    return list.release();
}

void destroy(ImageList* list) {
    liveLists().erase(list);
    if (list->grid) list->grid->setList(nullptr);
    delete list;
}

// Command of tv32IIOAction on a live list.
int32_t listAction(ImageList& list, int32_t command, int32_t value, void* data) {
    switch (command) {
    case TV32_IIO_SET_SETTINGS:
        if (!data) return 0;
        std::memcpy(&list.settings, data, sizeof(TV32IIOSETTINGS));
        if (list.grid) {
            list.grid->setList(&list);
        }
        return 1;
    case TV32_IIO_GET_SETTINGS:
        if (!data) return 0;
        std::memcpy(data, &list.settings, sizeof(TV32IIOSETTINGS));
        return 1;
    case TV32_IIO_SELECT: {
        auto* sel = static_cast<TV32IIOSELECTION*>(data);
        if (!sel || sel->count < 0 || (sel->count > 0 && !sel->items)) return 0;
        std::vector<int32_t> next;
        for (int32_t i = 0; i < sel->count; ++i)
            if (list.indexOf(sel->items[i]) >= 0) next.push_back(sel->items[i]);
        list.selected = std::move(next);
        if (list.grid) list.grid->viewport()->update();
        return 1;
    }
    case TV32_IIO_SELECTED: {
        auto* sel = static_cast<TV32IIOSELECTION*>(data);
        if (!sel) return int32_t(list.selected.size());
        if (sel->count < 0 || (sel->count > 0 && !sel->items)) return 0;
        const int32_t n = std::min<int32_t>(sel->count, int32_t(list.selected.size()));
        for (int32_t i = 0; i < n; ++i)
            sel->items[i] = list.selected[std::size_t(i)];
        return n;
    }
    case TV32_IIO_SHOW: {
        if (value) {
            auto* grid = qobject_cast<tv32::ImageListGrid*>(
                tv32::widgetFromHandle(TV32HWND(reinterpret_cast<uintptr_t>(data))));
            if (!grid) return 0;
            if (list.grid && list.grid != grid) list.grid->setList(nullptr);
            list.grid = grid;
            grid->setList(&list);
        } else if (list.grid) {
            list.grid->setList(nullptr);
            list.grid = nullptr;
        }
        return 1;
    }
    case TV32_IIO_THUMB_SIZE: {
        auto* size = static_cast<TV32IIOTHUMBSIZE*>(data);
        if (!size) return 0;
        size->width = list.thumbW;
        size->height = list.thumbH;
        return 1;
    }
    case TV32_IIO_COUNT:
        return int32_t(list.items.size());
    case TV32_IIO_BACKGROUND:
        list.background = uint32_t(value) & 0x00FFFFFFu;
        if (list.grid) list.grid->viewport()->update();
        return 1;
    default:
        return -1;
    }
}

} // namespace

extern "C" {

TV32_API void* TV32_CALL tv32LoadIIO(const char* path, TV32IIOPROC callback) {
    return guardLibrary(static_cast<void*>(nullptr), [&]() -> void* {
        if (!path) return nullptr;
        // Check the file before anything is handed to the callback.
        const int32_t count = tv32TextureLibraryRead(path, nullptr, nullptr);
        if (count < 0) return nullptr;
        ImageList* list = makeList();
        // Whatever happens below, a list that is not handed out is destroyed.
        std::unique_ptr<ImageList, void (*)(ImageList*)> guard(list, destroy);
        list->settings.columns = list->settings.columnsPage = 4;
        list->settings.callback = callback;
        list->settings.callbackActive = callback ? 1 : 0;
        if (callback) callback(list, 2, 0, nullptr);
        LoadContext c{list, callback};
        if (tv32TextureLibraryRead(path, loadItem, &c) != count || c.failed) return nullptr;
        if (!list->items.empty()) {
            list->thumbW = list->items.front().thumb.width();
            list->thumbH = list->items.front().thumb.height();
        }
        return guard.release();
    });
}

TV32_API void* TV32_CALL tv32CreateIIO(const TV32HBUF* pictures, int32_t count, TV32IIOPROC callback) {
    return guardLibrary(static_cast<void*>(nullptr), [&]() -> void* {
        if (!pictures || count <= 0) return nullptr;
        std::unique_ptr<ImageList, void (*)(ImageList*)> list(makeList(), destroy);
        list->settings.columns = list->settings.columnsPage = count;
        list->settings.callback = callback;
        list->settings.callbackActive = callback ? 1 : 0;
        for (int32_t i = 0; i < count; ++i) {
            QImage picture = tv32::imageOfBuffer(pictures[i]);
            if (picture.isNull()) return nullptr;
            if (i == 0) {
                list->thumbW = picture.width();
                list->thumbH = picture.height();
            } else if (picture.size() != QSize(list->thumbW, list->thumbH)) {
                picture = picture.scaled(list->thumbW, list->thumbH, Qt::IgnoreAspectRatio,
                                         Qt::SmoothTransformation);
            }
            ImageList::Item item;
            item.number = i + 1;
            item.thumb = picture.convertToFormat(QImage::Format_RGB888);
            if (item.thumb.isNull()) return nullptr;
            list->items.push_back(std::move(item));
        }
        return list.release();
    });
}

TV32_API int32_t TV32_CALL tv32IIOAction(void* handle, int32_t command, int32_t value, void* data) {
    return guardLibrary(int32_t(-1), [&]() -> int32_t {
        if (int32_t result = 0; tv32::varGridAction(handle, command, value, data, &result)) return result;
        ImageList* list = asList(handle);
        if (!list) return -1;
        return listAction(*list, command, value, data);
    });
}

TV32_API int32_t TV32_CALL tv32IIAction(void* handle, int32_t command, int32_t itemNumber, TV32IIINFO* info) {
    return guardLibrary(int32_t(0), [&]() -> int32_t {
        ImageList* list = asList(handle);
        if (!list || !info) return 0;
        const int index = list->indexOf(itemNumber);
        if (index < 0) return 0;
        ImageList::Item& item = list->items[std::size_t(index)];
        if (command == TV32_II_GET_INFO) {
            std::memset(info, 0, sizeof *info);
            info->number = item.number;
            info->value = item.value;
            info->width = item.thumb.width();
            info->height = item.thumb.height();
            std::memcpy(info->name, item.name, TV32_TEXLIB_NAME_SIZE);
            info->dataLength = item.dataLength;
            return 1;
        }
        if (command == TV32_II_SET_INFO) {
            item.value = info->value;
            item.dataLength = info->dataLength;
            return 1;
        }
        return 0;
    });
}

TV32_API int32_t TV32_CALL tv32IIOItemData(void* handle, int32_t itemNumber, void* data) {
    return guardLibrary(int32_t(0), [&]() -> int32_t {
        ImageList* list = asList(handle);
        if (!list || !list->settings.callbackActive || !list->settings.callback) return 0;
        if (list->indexOf(itemNumber) < 0) return 0;
        return list->settings.callback(list, 4, itemNumber, data);
    });
}

TV32_API int TV32_CALL tv32DestroyIIO(void* handle) {
    return guardLibrary(0, [&] {
        if (tv32::varGridDestroy(handle)) return 1;
        ImageList* list = asList(handle);
        if (!list) return 0;
        destroy(list);
        return 1;
    });
}

} // extern "C"
