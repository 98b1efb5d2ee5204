#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <vector>

#include "core/KeyPreviewDialog.h"

namespace platform {
class CommandButton;
}

// The drive list: the roots of the mounted volumes a file database can live
// on ("/" first). Change fires when the operator picks another entry.
class DriveListBox final : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The root of the selected entry.
    QString Drive() const;
    // Selects the entry whose root holds the path (the longest such root).
    void SetDrive(const QString& path);
    void Refresh();

signals:
    void Change();
};

// The folder list: the current folder's parents from the root down (the
// "path entries"), the current folder itself, then its visible sub-folders in
// case-insensitive order. Hidden sub-folders are left out, as the platform's
// folder list does; AddHiddenFolders puts them in. Every entry's text is its
// full path; the list shows its last part.
class DirListBox final : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    // Moves to an existing, readable folder and fires Change; any other path
    // leaves the list as it was and answers false.
    bool SetPath(const QString& path);
    // The number of entries below the current folder (its sub-folders).
    int ListCount() const;
    // The full path of an entry: 0 .. ListCount-1 the sub-folders, -1 the
    // current folder, -2 its parent and so on; "" outside the list.
    QString List(int index) const;

    // Raw access by display position, path entries included, for routines
    // that place entries themselves. EntryCount is -1 when the list cannot
    // answer (it always can here; callers still check).
    int EntryCount() const { return count(); }
    QString EntryText(int position) const;
    void InsertEntry(int position, const QString& fullPath);

signals:
    void Change();

private:
    void Fill();
    int PathEntryCount() const { return pathEntries_; }

    QString path_;
    int pathEntries_ = 0;
};

// The file list: the files of its folder matching the pattern (wildcards,
// letter case ignored), hidden files left out.
class FileListBox final : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    void SetPath(const QString& path);
    QString Pattern() const { return pattern_; }
    void SetPattern(const QString& pattern);
    // The selected file's name; "" when none is selected.
    QString FileName() const;
    // Selects the listed file of that name; a name with a folder part moves
    // the list to that folder first. An unlisted name clears the selection.
    void SetFileName(const QString& name);
    void Refresh();

signals:
    // A double-click (or activation) on a file.
    void DblClick();

private:
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

// A directory entry as the enumeration gives it: the attributes that decide
// whether a sub-folder is added by AddHiddenFolders.
struct FolderEntry {
    QString Name;
    bool Directory = false;
    bool Hidden = false;
    bool System = false;
};

// The entries of a folder, "." and ".." included. Hidden is the platform's
// notion (a name that begins with "."); this file system has no system bit,
// so System is always false here.
std::vector<FolderEntry> EnumerateFolder(const QString& folder);

// Adds the hidden sub-folders of the list's current folder to its entries in
// case-insensitive order, once each; system folders only with includeSystem.
void AddHiddenFolders(DirListBox* list, bool includeSystem);
// The same for entries already enumerated (the insertion rule alone).
void AddHiddenFolders(DirListBox* list, bool includeSystem,
                      const std::vector<FolderEntry>& entries);

// The text up to, not including, the first character of that code; the whole
// text when there is none.
QString TrimAtNul(const QString& text, int charCode);

// The modal chooser of the file database. The opener sets Dir1's folder and
// File1's selection, shows it modally (exec() answers QDialog::Accepted for
// OK), reads Dir1()->Path() and File1()->FileName() after it returns, then
// unloads it. OK and Cancel only hide the window, so the lists keep their
// state for the opener.
class FileOpen final : public KeyPreviewDialog {
    Q_OBJECT
public:
    explicit FileOpen(QWidget* parent = nullptr);

    DriveListBox* Drive1() const { return drive1_; }
    DirListBox* Dir1() const { return dir1_; }
    FileListBox* File1() const { return file1_; }
    platform::CommandButton* btnOK() const { return btnOK_; }
    platform::CommandButton* btnCancel() const { return btnCancel_; }

    void btnOK_Click();
    void btnCancel_Click();
    void Drive1_Change();
    void Dir1_Change();

protected:
    // Enter presses OK and Escape Cancel, whatever Shift, Ctrl or Alt is held;
    // other keys are passed on.
    bool PreviewKey(QWidget* receiver, QKeyEvent* event) override;
    void reject() override;

private:
    DriveListBox* drive1_ = nullptr;
    DirListBox* dir1_ = nullptr;
    FileListBox* file1_ = nullptr;
    platform::CommandButton* btnOK_ = nullptr;
    platform::CommandButton* btnCancel_ = nullptr;
};

// The program's chooser, loaded on first use; it stays loaded (hidden) until
// UnloadFileOpenForm.
FileOpen& FileOpenForm();
bool IsFileOpenFormLoaded();
void UnloadFileOpenForm();
