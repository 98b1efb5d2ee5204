// The file chooser of the database file and its drive, folder and file lists.
#include "dialogs/FileOpen.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>

#include "core/ModCommon.h"
#include "core/ModSkin.h"
#include "core/ModWindowState.h"
#include "localization/ResManagerClass.h"
#include "platform/ProgramState.h"
#include "platform/controls/CommandButton.h"

namespace {

// Mount points of the kernel's own pseudo file systems hold no files an
// operator would choose.
bool IsPseudoVolume(const QString& root) {
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run"}) {
        const QString p = QString::fromLatin1(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString CleanFolder(const QString& path) {
    QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return clean;
}

QString LastPart(const QString& path) {
    if (path == QLatin1String("/"))
        return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

// ---------------------------------------------------------------- drive list

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("Drive1"));
    Refresh();
    connect(this, &QComboBox::activated, this, [this](int) { emit Change(); });
}

void DriveListBox::Refresh() {
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || IsPseudoVolume(root))
            continue;
        if (!roots.contains(root))
            roots.append(root);
    }
    std::sort(roots.begin() + 1, roots.end());
    const QString current = Drive();
    clear();
    for (const QString& root : roots)
        addItem(root, root);
    if (!current.isEmpty())
        SetDrive(current);
}

QString DriveListBox::Drive() const {
    return currentData().toString();
}

void DriveListBox::SetDrive(const QString& path) {
    const QString folder = CleanFolder(path);
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool holds = root == QLatin1String("/") || folder == root ||
                           folder.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = int(root.size());
        }
    }
    if (best >= 0)
        setCurrentIndex(best);
}

// --------------------------------------------------------------- folder list

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("Dir1"));
    SetPath(QDir::currentPath());
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item)
            SetPath(item->data(Qt::UserRole).toString());
    });
}

bool DirListBox::SetPath(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString folder = CleanFolder(path);
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !QDir(folder).isReadable())
        return false;
    path_ = folder;
    Fill();
    emit Change();
    return true;
}

void DirListBox::Fill() {
    clear();
    const QStyle* style = QApplication::style();
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList chain{QStringLiteral("/")};
    const QStringList parts = path_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString walked;
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        chain.append(walked);
    }
    pathEntries_ = int(chain.size());
    for (int i = 0; i < chain.size(); ++i) {
        auto* item =
            new QListWidgetItem(open, QString(i * 2, QLatin1Char(' ')) + LastPart(chain[i]));
        item->setData(Qt::UserRole, chain[i]);
        addItem(item);
    }
    setCurrentRow(pathEntries_ - 1);

    const QString base = AddBackslash(path_);
    const QStringList subFolders =
        QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    const QString indent(pathEntries_ * 2, QLatin1Char(' '));
    for (const QString& name : subFolders) {
        auto* item = new QListWidgetItem(closed, indent + name);
        item->setData(Qt::UserRole, base + name);
        addItem(item);
    }
}

int DirListBox::ListCount() const {
    return count() - pathEntries_;
}

QString DirListBox::List(int index) const {
    const int position = pathEntries_ + index;
    if (position < 0 || position >= count())
        return QString();
    return EntryText(position);
}

QString DirListBox::EntryText(int position) const {
    const QListWidgetItem* entry = item(position);
    return entry ? entry->data(Qt::UserRole).toString() : QString();
}

void DirListBox::InsertEntry(int position, const QString& fullPath) {
    auto* entry =
        new QListWidgetItem(QApplication::style()->standardIcon(QStyle::SP_DirClosedIcon),
                            QString(pathEntries_ * 2, QLatin1Char(' ')) + LastPart(fullPath));
    entry->setData(Qt::UserRole, fullPath);
    insertItem(std::clamp(position, pathEntries_, count()), entry);
}

// ----------------------------------------------------------------- file list

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("File1"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { emit DblClick(); });
}

void FileListBox::SetPath(const QString& path) {
    path_ = CleanFolder(path);
    Refresh();
}

void FileListBox::SetPattern(const QString& pattern) {
    pattern_ = pattern.isEmpty() ? QStringLiteral("*.*") : pattern;
    Refresh();
}

void FileListBox::Refresh() {
    const QString selected = FileName();
    clear();
    if (path_.isEmpty())
        return;
    QDir dir(path_);
    dir.setNameFilters(pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    addItems(dir.entryList());
    if (!selected.isEmpty())
        SetFileName(selected);
}

QString FileListBox::FileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void FileListBox::SetFileName(const QString& nameIn) {
    QString name = nameIn;
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        SetPath(slash == 0 ? QStringLiteral("/") : name.left(slash));
        name = name.mid(slash + 1);
    }
    QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty() && !name.isEmpty())
        found = findItems(name, Qt::MatchFixedString);
    clearSelection();
    if (found.isEmpty()) {
        setCurrentItem(nullptr);
        return;
    }
    setCurrentItem(found.first());
    found.first()->setSelected(true);
    scrollToItem(found.first());
}

// ------------------------------------------------------------ hidden folders

QString TrimAtNul(const QString& text, int charCode) {
    const qsizetype at = text.indexOf(QChar(char16_t(charCode)));
    return at < 0 ? text : text.left(at);
}

std::vector<FolderEntry> EnumerateFolder(const QString& folder) {
    std::vector<FolderEntry> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System);
    entries.push_back({QStringLiteral("."), true, false, false});
    entries.push_back({QStringLiteral(".."), true, false, false});
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries.push_back({info.fileName(), info.isDir(), info.isHidden(), false});
    }
    return entries;
}

void AddHiddenFolders(DirListBox* list, bool includeSystem) {
    if (!list)
        return;
    AddHiddenFolders(list, includeSystem, EnumerateFolder(list->Path()));
}

void AddHiddenFolders(DirListBox* list, bool includeSystem,
                      const std::vector<FolderEntry>& entries) {
    if (!list)
        return;
    const QString path = AddBackslash(list->Path());
    const int total = list->EntryCount();
    if (total == -1)
        return;
    const int base = total - list->ListCount();
    for (const FolderEntry& entry : entries) {
        if (!entry.Directory || !entry.Hidden)
            continue;
        if (!includeSystem && entry.System)
            continue;
        const QString name = TrimAtNul(entry.Name, 0);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        // The folder list is sorted: scan from the end for the first entry
        // not greater than the new name.
        int position = base;
        bool present = false;
        for (int k = list->ListCount() - 1; k >= 0; --k) {
            const QString listed = list->EntryText(base + k).mid(path.size());
            const int order = QString::compare(listed, name, Qt::CaseInsensitive);
            if (order <= 0) {
                present = order == 0;
                position = base + k + 1;
                break;
            }
        }
        if (!present)
            list->InsertEntry(position, path + name);
    }
}

// ------------------------------------------------------------------- chooser

FileOpen::FileOpen(QWidget* parent) : KeyPreviewDialog(parent) {
    setObjectName(QStringLiteral("FileOpen"));
    setWindowTitle(QStringLiteral("Изберете файл"));

    drive1_ = new DriveListBox(this);
    dir1_ = new DirListBox(this);
    file1_ = new FileListBox(this);
    file1_->SetPattern(QStringLiteral("*.mdb"));
    btnOK_ = new platform::CommandButton(this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->SetCaption(QStringLiteral("OK"));
    btnCancel_ = new platform::CommandButton(this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    btnCancel_->SetCaption(QStringLiteral("Отказ"));
    for (platform::CommandButton* b : {btnOK_, btnCancel_})
        b->setMinimumSize(96, 32);

    auto* grid = new QGridLayout(this);
    grid->addWidget(file1_, 0, 0, 2, 1);
    grid->addWidget(drive1_, 0, 1);
    grid->addWidget(dir1_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);
    grid->addLayout(buttons, 2, 0, 1, 2);
    resize(560, 360);

    connect(drive1_, &DriveListBox::Change, this, &FileOpen::Drive1_Change);
    connect(dir1_, &DirListBox::Change, this, &FileOpen::Dir1_Change);
    connect(file1_, &FileListBox::DblClick, this, &FileOpen::btnOK_Click);
    connect(btnOK_, &platform::CommandButton::Click, this, &FileOpen::btnOK_Click);
    connect(btnCancel_, &platform::CommandButton::Click, this, &FileOpen::btnCancel_Click);

    Dir1_Change();
    ResManager().SetLanguage(this);
    ApplySkinToForm(this);
}

void FileOpen::Drive1_Change() {
    // A drive that cannot be read leaves the folder list where it was.
    dir1_->SetPath(drive1_->Drive());
}

void FileOpen::Dir1_Change() {
    AddHiddenFolders(dir1_, false);
    file1_->SetPath(dir1_->Path());
    drive1_->SetDrive(dir1_->Path());
}

void FileOpen::btnOK_Click() {
    if (file1_->FileName().isEmpty())
        return;
    QDialog::accept();
}

void FileOpen::btnCancel_Click() {
    QDialog::reject();
}

void FileOpen::reject() {
    btnCancel_Click();
}

bool FileOpen::PreviewKey(QWidget*, QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            btnOK_->Press();
            return true;
        case Qt::Key_Escape:
            btnCancel_->Press();
            return true;
        default:
            return false;
    }
}

// --------------------------------------------------------- program instance

namespace {
QPointer<FileOpen>& Instance() {
    static QPointer<FileOpen> form;
    return form;
}
}  // namespace

FileOpen& FileOpenForm() {
    if (!Instance())
        Instance() = new FileOpen;
    return *Instance();
}

bool IsFileOpenFormLoaded() {
    return !Instance().isNull();
}

void UnloadFileOpenForm() {
    // A chooser that is still shown (the unload came from inside its modal
    // loop) is deleted once that loop has returned.
    if (FileOpen* form = Instance()) {
        Instance() = nullptr;
        form->hide();
        form->deleteLater();
    }
}

namespace {
// The chooser is this module's own: unloaded, so that the next use makes a
// fresh one.
[[maybe_unused]] const bool kChooserResetRegistered =
    platform::RegisterStateReset(&UnloadFileOpenForm);
}  // namespace
