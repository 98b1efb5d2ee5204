#include "platform/controls/ListView.h"

namespace platform {

int ImageList::Add(const QPixmap& picture, const QString& key) {
    if (picture.isNull())
        return 0;
    pictures_.append(picture);
    if (!key.isEmpty())
        keys_.insert(key, int(pictures_.size()));
    return int(pictures_.size());
}

QPixmap ImageList::Picture(int position) const {
    return position >= 1 && position <= pictures_.size() ? pictures_[position - 1] : QPixmap();
}

QPixmap ImageList::Picture(const QString& key) const {
    return Picture(keys_.value(key, 0));
}

void ImageList::Clear() {
    pictures_.clear();
    keys_.clear();
}

ListView::ListView(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::ListMode);
    setIconSize(QSize(48, 48));
    setSpacing(2);
}

int ListView::AddListItem(const QString& caption, int imagePosition, const QString& key) {
    auto* item = new QListWidgetItem(caption, this);
    item->setData(Qt::UserRole, key);
    if (images_) {
        const QPixmap p = images_->Picture(imagePosition);
        if (!p.isNull())
            item->setIcon(QIcon(p));
    }
    return row(item);
}

QString ListView::ListItemText(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

QString ListView::ListItemKey(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->data(Qt::UserRole).toString() : QString();
}

}  // namespace platform
