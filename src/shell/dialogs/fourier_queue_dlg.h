#pragma once

#include <QDialog>

#include "document/queue.h"

class CZelvanDoc;
class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// "Dialog Fourier Queue": the suffix edit, the list of the queue's suffixes, New, Modify,
// Delete, OK, Help, "Execute Queued Tasks " and the output format. The rules live in
// CFourierQueueDlgModel; this class draws its controls and passes the person's actions on.
// It ends with kIdQueueOk for OK and with kQueueExecuteResult when the queue is to run.
class CFourierQueueDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFourierQueueDlg(CFourierQueueDlgModel& model, QWidget* parent = nullptr);

    CFourierQueueDlgModel& Model() { return m_model; }
    QLineEdit* SuffixEdit() const { return m_edit; }
    QListWidget* List() const { return m_list; }
    QPushButton* Button(int id) const;
    QRadioButton* FormatRadio(int index) const { return index == 0 ? m_jpg : m_bmp; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The controls as the model has them.
    void Show();

    CFourierQueueDlgModel& m_model;
    QLineEdit* m_edit = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_help = nullptr;
    QPushButton* m_execute = nullptr;
    QRadioButton* m_jpg = nullptr;
    QRadioButton* m_bmp = nullptr;
    bool m_bShowing = false;
    bool m_bInitialised = false;
};

// The active document as the application finds it: the main window, its active document
// window, that window's view and the view's document.
CActiveDocument ActiveDocumentOfApplication();

// "Fourier Queue ...": the dialog on the document, then its queue when the dialog ends with
// "Execute Queued Tasks ".
void RunFourierQueueCommand(CZelvanDoc& doc, QWidget* parent);

// "Execute All Queues" over the main window's document windows.
void RunExecuteAllQueuesCommand();
