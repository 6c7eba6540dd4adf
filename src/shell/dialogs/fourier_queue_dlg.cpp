#include "shell/dialogs/fourier_queue_dlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "document/zelvan_doc.h"
#include "view/view_windows.h"
#include "view/zelvan_view.h"

namespace {

QPushButton* MakeButton(const char* text, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QStringLiteral("button%1").arg(id));
    // The default button is chosen by the dialog's rules, not by the focus.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CFourierQueueDlg::CFourierQueueDlg(CFourierQueueDlgModel& model, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setWindowTitle(QString::fromUtf8(kFourierQueueTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdFourierQueueDialog));

    m_edit = new QLineEdit;
    m_edit->setObjectName(QStringLiteral("edit%1").arg(kIdQueueSuffixEdit));
    m_edit->setMaxLength(kQueueSuffixMaxChars);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("list%1").arg(kIdQueueList));
    m_list->setSortingEnabled(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QString::fromUtf8(kQueueNewSuffixLabel)));
    left->addWidget(m_edit);
    left->addSpacing(6);
    left->addWidget(new QLabel(QString::fromUtf8(kQueueListLabel)));
    left->addWidget(m_list, 1);

    m_new = MakeButton(kQueueNewText, kIdQueueNew);
    m_modify = MakeButton(kQueueModifyText, kIdQueueModify);
    m_delete = MakeButton(kQueueDeleteText, kIdQueueDelete);
    m_ok = MakeButton(kQueueOkText, kIdQueueOk);
    m_help = MakeButton(kQueueHelpButtonText, kIdQueueHelp);
    m_execute = MakeButton(kQueueExecuteText, kIdQueueExecute);
    m_execute->setMinimumHeight(2 * m_ok->sizeHint().height());
    auto* right = new QVBoxLayout;
    for (QPushButton* button : {m_new, m_modify, m_delete}) right->addWidget(button);
    right->addSpacing(12);
    for (QPushButton* button : {m_ok, m_help}) right->addWidget(button);
    right->addStretch(1);
    right->addWidget(m_execute);

    auto* format = new QGroupBox(QString::fromUtf8(kQueueFormatLabel));
    m_jpg = new QRadioButton(QString::fromUtf8(kQueueJpgText));
    m_jpg->setObjectName(QStringLiteral("radio%1").arg(kIdQueueJpg));
    m_bmp = new QRadioButton(QString::fromUtf8(kQueueBmpText));
    m_bmp->setObjectName(QStringLiteral("radio%1").arg(kIdQueueBmp));
    auto* group = new QButtonGroup(this);
    group->addButton(m_jpg, kQueueFormatJpg);
    group->addButton(m_bmp, kQueueFormatBmp);
    auto* radios = new QHBoxLayout(format);
    radios->addWidget(m_jpg);
    radios->addWidget(m_bmp);
    radios->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addSpacing(12);
    top->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(format);
    resize(340, 320);

    connect(m_edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_bShowing) return;
        m_model.TypeSuffix(text.toStdString());
        Show();
    });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_bShowing) return;
        m_model.OnSelChange(row);
        Show();
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_model.OnSelChange(m_list->row(item));
        m_model.OnModify();
        Show();
    });
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { m_model.SelectFormat(id); });
    connect(m_new, &QPushButton::clicked, this, [this] {
        m_model.OnNew();
        Show();
    });
    connect(m_modify, &QPushButton::clicked, this, [this] {
        m_model.OnModify();
        Show();
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        m_model.OnDelete();
        Show();
    });
    connect(m_ok, &QPushButton::clicked, this, [this] { done(kIdQueueOk); });
    connect(m_help, &QPushButton::clicked, this, [this] { m_model.OnHelp(); });
    connect(m_execute, &QPushButton::clicked, this, [this] {
        if (m_model.OnExecute()) {
            done(kQueueExecuteResult);
            return;
        }
        Show();
    });
}

void CFourierQueueDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_model.OnInitDialog();
        Show();
    }
    QDialog::showEvent(event);
}

QPushButton* CFourierQueueDlg::Button(int id) const {
    for (QPushButton* button : {m_new, m_modify, m_delete, m_ok, m_help, m_execute})
        if (button->objectName() == QStringLiteral("button%1").arg(id)) return button;
    return nullptr;
}

void CFourierQueueDlg::Show() {
    m_bShowing = true;
    const QString text = QString::fromStdString(m_model.m_editText);
    if (m_edit->text() != text) m_edit->setText(text);
    QStringList items;
    for (const std::string& item : m_model.m_listItems) items << QString::fromStdString(item);
    QStringList shown;
    for (int i = 0; i < m_list->count(); ++i) shown << m_list->item(i)->text();
    if (shown != items) {
        m_list->clear();
        m_list->addItems(items);
    }
    if (m_list->currentRow() != m_model.m_nSelection) m_list->setCurrentRow(m_model.m_nSelection);
    (m_model.m_nRadio == kQueueFormatBmp ? m_bmp : m_jpg)->setChecked(true);
    m_new->setEnabled(m_model.m_bNewEnabled);
    m_delete->setEnabled(m_model.m_bDeleteEnabled);
    m_modify->setEnabled(m_model.m_bModifyEnabled);
    m_new->setDefault(m_model.m_nDefaultButton == kIdQueueNew);
    m_ok->setDefault(m_model.m_nDefaultButton == kIdQueueOk);
    m_bShowing = false;
}

CActiveDocument ActiveDocumentOfApplication() {
    CActiveDocument found;
    CViewWindows* frame = MainViewWindows();
    if (!frame) return found;
    found.mainWindow = true;
    CZelvanView* view = frame->ActiveView();
    if (!view) return found;
    // Every document window holds exactly one view.
    found.childWindow = true;
    found.view = true;
    found.window = view;
    found.document = view->DocumentPtr().get();
    return found;
}

void RunFourierQueueCommand(CZelvanDoc& doc, QWidget* parent) {
    CFourierQueueDlgModel model(ActiveDocumentOfApplication);
    OnFourierQueue(doc, model, [parent](CFourierQueueDlgModel& dialog) {
        CFourierQueueDlg window(dialog, parent);
        return window.exec();
    });
}

namespace {

class CMdiWindows : public CDocumentWindows {
public:
    CActiveDocument Active() override { return ActiveDocumentOfApplication(); }
    void ActivateNext() override {
        if (CViewWindows* frame = MainViewWindows()) frame->ActivateNextView();
    }
};

}  // namespace

void RunExecuteAllQueuesCommand() {
    CMdiWindows windows;
    ExecuteAllQueues(windows);
}
