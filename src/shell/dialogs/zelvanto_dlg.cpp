#include "shell/dialogs/zelvanto_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/user_interface.h"

namespace {

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

QLineEdit* NameEdit(int id, const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text));
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    edit->setMinimumWidth(320);
    return edit;
}

QPushButton* MakeButton(int id, const char* caption) {
    auto* button = new QPushButton(Q(caption));
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CZelvantoDlg::CZelvantoDlg(const CZelvantoData& initial, QWidget* parent)
    : QDialog(parent), m_data(initial) {
    setWindowTitle(Q(kZelvantoDialogTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdZelvantoDialog));

    m_good = NameEdit(kIdGoodFile, m_data.m_strGoodFile);
    m_blurred = NameEdit(kIdBlurredFile, m_data.m_strBlurredFile);
    m_input = NameEdit(kIdInputFile, m_data.m_strInputFile);
    m_input->setReadOnly(true);
    m_compare = NameEdit(kIdCompareFile, m_data.m_strCompareFile);

    QPushButton* browseGood = MakeButton(kIdBrowseGood, kBrowseCaption);
    QPushButton* browseBlurred = MakeButton(kIdBrowseBlurred, kBrowseCaption);
    QPushButton* browseInput = MakeButton(kIdBrowseInput, kBrowseCaption);
    QPushButton* browseCompare = MakeButton(kIdBrowseCompare, kBrowseCaption);
    browseInput->setVisible(false);
    connect(browseGood, &QPushButton::clicked, this,
            [this] { Browse(&CZelvantoData::m_strGoodFile); });
    connect(browseBlurred, &QPushButton::clicked, this,
            [this] { Browse(&CZelvantoData::m_strBlurredFile); });
    connect(browseInput, &QPushButton::clicked, this,
            [this] { Browse(&CZelvantoData::m_strInputFile); });
    connect(browseCompare, &QPushButton::clicked, this,
            [this] { Browse(&CZelvantoData::m_strCompareFile); });

    // The example pair in its group box; the Blurred row also takes a stamp file.
    m_group = new QGroupBox(Q(kZelvantoGroupTitle));
    auto* pair = new QGridLayout(m_group);
    pair->addWidget(new QLabel(Q(kGoodFileLabel)), 0, 0);
    pair->addWidget(m_good, 0, 1);
    pair->addWidget(browseGood, 0, 2);
    auto* blurredLabels = new QVBoxLayout;
    blurredLabels->setSpacing(0);
    blurredLabels->addWidget(new QLabel(Q(kBlurredFileLabel)));
    blurredLabels->addWidget(new QLabel(Q(kStampFileLabel)));
    pair->addLayout(blurredLabels, 1, 0);
    pair->addWidget(m_blurred, 1, 1);
    pair->addWidget(browseBlurred, 1, 2);

    auto* others = new QGridLayout;
    others->addWidget(new QLabel(Q(kInputFileLabel)), 0, 0);
    others->addWidget(m_input, 0, 1);
    others->addWidget(browseInput, 0, 2);
    others->addWidget(new QLabel(Q(kCompareFileLabel)), 1, 0);
    others->addWidget(m_compare, 1, 1);
    others->addWidget(browseCompare, 1, 2);
    // The columns line up with those of the group box.
    others->setContentsMargins(pair->contentsMargins());
    const int labelWidth = QLabel(Q(kCompareFileLabel)).sizeHint().width();
    pair->setColumnMinimumWidth(0, labelWidth);
    others->setColumnMinimumWidth(0, labelWidth);
    others->setColumnMinimumWidth(2, browseCompare->sizeHint().width());

    auto* ok = MakeButton(kIdOk, "OK");
    ok->setDefault(true);
    ok->setAutoDefault(true);
    auto* cancel = MakeButton(kIdCancel, "Cancel");
    auto* makeStamp = MakeButton(kIdMakeStamp, "Make Stamp");
    auto* useStamp = MakeButton(kIdUseStamp, "Use Stamp");
    auto* showStamp = MakeButton(kIdShowStamp, "Show Stamp");
    connect(ok, &QPushButton::clicked, this, &CZelvantoDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CZelvantoDlg::reject);
    connect(makeStamp, &QPushButton::clicked, this, [this] { done(kZelvantoMakeStamp); });
    connect(useStamp, &QPushButton::clicked, this, [this] { done(kZelvantoUseStamp); });
    connect(showStamp, &QPushButton::clicked, this, [this] { done(kZelvantoShowStamp); });
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addSpacing(16);
    buttons->addWidget(makeStamp);
    buttons->addWidget(useStamp);
    buttons->addWidget(showStamp);
    buttons->addStretch(1);

    auto* fields = new QVBoxLayout;
    fields->addWidget(m_group);
    fields->addLayout(others);
    fields->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addSpacing(12);
    layout->addLayout(buttons);
}

int CZelvantoDlg::ResultCode(int execResult) {
    if (execResult == QDialog::Accepted) return kIdOk;
    if (execResult == QDialog::Rejected) return kIdCancel;
    return execResult;
}

QPushButton* CZelvantoDlg::Button(int id) const {
    return findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
}

void CZelvantoDlg::UpdateData(bool save) {
    const std::pair<QLineEdit*, std::string CZelvantoData::*> fields[] = {
        {m_good, &CZelvantoData::m_strGoodFile},
        {m_blurred, &CZelvantoData::m_strBlurredFile},
        {m_input, &CZelvantoData::m_strInputFile},
        {m_compare, &CZelvantoData::m_strCompareFile}};
    for (const auto& [edit, name] : fields) {
        if (save)
            m_data.*name = edit->text().toStdString();
        else
            edit->setText(QString::fromStdString(m_data.*name));
    }
}

void CZelvantoDlg::Browse(std::string CZelvantoData::*name) {
    UpdateData(true);
    CFileDialogRequest request;
    request.open = true;
    request.filter = kZelvantoBrowseFilter;
    if (const std::optional<std::string> path = Ui().FileDialog(request)) m_data.*name = *path;
    UpdateData(false);
}

void CZelvantoDlg::accept() {
    UpdateData(true);
    QDialog::accept();
}
