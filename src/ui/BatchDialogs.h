#pragma once
// The two dialogs of the Batch menu: the command list ("Batch Command List": the command names
// dragged onto the batch's list) and the cast list ("Batch : File Selection": casts of the
// cruises dragged onto the list of files to process). Both edit the batch processor directly.

#include <QDialog>
#include <QListWidget>

#include <filesystem>
#include <functional>
#include <string>

class QPushButton;

namespace marevo {

class TBatchTool;
class TMainShell;

// A list that takes drops from one other list only; the drop is handed over with its point.
class TBatchDropList : public QListWidget {
public:
    TBatchDropList(QListWidget* source, std::function<void(const QPoint&)> dropped,
                   QWidget* parent);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QListWidget* source_;
    std::function<void(const QPoint&)> dropped_;
};

class TBatchCommandDlg : public QDialog {
public:
    TBatchCommandDlg(TBatchTool& batch, std::filesystem::path folder, QWidget* parent = nullptr);

    // The file dialogs and the help; tests replace them. An empty path is Cancel.
    std::function<std::filesystem::path(bool save, const QString& title, const QString& filter)>
        FileDialog;
    std::function<void()> Help;

    // The command selected on the left dropped on row of the right list (past its end: appended).
    // False when nothing changed.
    bool DropAt(int row);
    void DeleteSelected();
    void Load();
    void Save();
    void accept() override;
    void reject() override;

    QListWidget* Commands() const { return commands_; }
    QListWidget* List() const { return list_; }

private:
    void Fill();

    TBatchTool& batch_;
    std::filesystem::path folder_;
    QListWidget* commands_;
    TBatchDropList* list_;
};

class TBatchFileDialog : public QDialog {
public:
    TBatchFileDialog(TMainShell& shell, TBatchTool& batch, QWidget* parent = nullptr);

    std::function<void()> Help;
    // The configuration's cruise changed: the status bar shows it.
    std::function<void()> StatusChanged;

    // The selected casts appended to the files selected, as cruise + three digits.
    void AddSelectedCasts();
    void RemoveSelectedFiles();
    void accept() override;

    QListWidget* Cruises() const { return cruises_; }
    QListWidget* Casts() const { return casts_; }
    QListWidget* Files() const { return files_; }
    QPushButton* OkButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Activate();
    void CruiseChosen();
    void FillCasts();
    std::string Cruise() const;

    TMainShell& shell_;
    TBatchTool& batch_;
    QListWidget* cruises_;
    QListWidget* casts_;
    TBatchDropList* files_;
    QPushButton* ok_;
    bool activated_ = false;
};

} // namespace marevo
