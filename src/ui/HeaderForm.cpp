#include "ui/HeaderForm.h"

#include "foundation/DateTime.h"
#include "records/CastInfo.h"
#include "shell/Settings.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include <cmath>
#include <limits>

namespace marevo {

namespace {

const char* const PositionNames[6] = {"Start latitude",  "Start longitude", "Bottom latitude",
                                      "Bottom longitude", "End latitude",   "End longitude"};
const char* const TimeNames[3] = {"Start", "Bottom", "End"};

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString PositionText(const TExtended& x) {
    const long double v = x.ToLongDouble();
    return IsKnownValue(v) ? Q(NumberFieldText(static_cast<double>(v), 6)) : QString();
}

QString TimeText(TDateTime t) {
    return t > 0 && std::isfinite(t) ? Q(FormatDateTime("dd/MM/yyyy HH:mm:ss", t)) : QString();
}

} // namespace

THeaderForm::THeaderForm(QWidget* parent) : QWidget(parent), form_(new QFormLayout(this)) {
    AddLabel("Cruise");
    AddEdit("Number", 40);
    AddEdit("Name", 40);
    AddEdit("Operator", 40);
    AddEdit("Vessel", 40);
    for (const char* name : TimeNames)
        AddLabel(name);
    for (const char* name : PositionNames)
        AddEdit(name, 20);
    AddLabel("Max pressure [dbar]");
    AddEdit("Sea-bed depth [m]", 20);
    AddLabel("Acquisition");
    AddLabel("Frames");
    AddLabel("Extraction");
    AddEdit("Comment", 255);
    SetEditable(false);
}

QLineEdit* THeaderForm::AddEdit(const char* name, int maxLength) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    form_->addRow(QString::fromLatin1(name), edit);
    return edit;
}

QLabel* THeaderForm::AddLabel(const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form_->addRow(QString::fromLatin1(name), label);
    return label;
}

QLineEdit* THeaderForm::Edit(const char* name) const {
    return findChild<QLineEdit*>(QString::fromLatin1(name));
}

void THeaderForm::SetEditable(bool editable) {
    editable_ = editable;
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        edit->setReadOnly(!editable);
        edit->setFrame(editable); // read-only fields read as text
    }
    // A cast's number is its place in the cruise; the vessel belongs to the cruise header.
    Edit("Number")->setReadOnly(!editable || !isCruise_);
    Edit("Vessel")->setReadOnly(!editable || !isCruise_);
}

void THeaderForm::Show(const TCastInfo* cast, const TCastInfo* cruise) {
    const auto label = [this](const char* name) {
        return findChild<QLabel*>(QString::fromLatin1(name));
    };
    if (cast == nullptr) {
        for (QLineEdit* edit : findChildren<QLineEdit*>())
            edit->clear();
        for (const char* name : {"Cruise", "Start", "Bottom", "End", "Max pressure [dbar]", "Acquisition",
                                 "Frames", "Extraction"})
            label(name)->clear();
        return;
    }
    isCruise_ = cast->ID == 0;
    const TCastInfo& vessel = cruise != nullptr && !isCruise_ ? *cruise : *cast;
    label("Cruise")->setText(Q(vessel.InfoStr[1].Get()));
    Edit("Number")->setText(isCruise_ ? Q(cast->InfoStr[0].Get()) : QString::number(cast->ID));
    Edit("Name")->setText(Q(cast->InfoStr[1].Get()));
    Edit("Operator")->setText(Q(cast->InfoStr[4].Get()));
    Edit("Vessel")->setText(Q(vessel.InfoStr[3].Get()));
    for (int i = 0; i < 3; ++i)
        label(TimeNames[i])->setText(TimeText(cast->CastTime[static_cast<std::size_t>(i)]));
    for (int i = 0; i < 3; ++i) {
        Edit(PositionNames[2 * i])->setText(PositionText(cast->latitude[static_cast<std::size_t>(i)]));
        Edit(PositionNames[2 * i + 1])
            ->setText(PositionText(cast->longitude[static_cast<std::size_t>(i)]));
    }
    const TFlaggedValue& maxP = cast->BottomValue[0];
    label("Max pressure [dbar]")->setText(maxP.Valid() ? QString::number(maxP.value, 'f', 1) : "");
    const TFlaggedValue& bed = cast->BottomValue[3];
    Edit("Sea-bed depth [m]")->setText(bed.Valid() && bed.value != 0 ? QString::number(bed.value, 'f', 1) : "");
    label("Acquisition")
        ->setText(QStringLiteral("%1, rate %2")
                      .arg(Q(std::string(RawModeName(cast->RawMode))))
                      .arg(QString::number(static_cast<double>(cast->ScanRate.ToLongDouble()), 'f',
                                           ScanRateDecimals(cast->RawMode))));
    label("Frames")->setText(QStringLiteral("%1 (%2 corrupt, %3 rejected)")
                                 .arg(cast->DataSetNb)
                                 .arg(cast->FrameError)
                                 .arg(cast->ValidateError));
    label("Extraction")
        ->setText(QStringLiteral("%1 rows, step %2")
                      .arg(cast->ExtractNb + 1)
                      .arg(Q(NumberFieldText(static_cast<double>(cast->ExtractStep.ToLongDouble()), 3))));
    if (isCruise_) // the cruise header holds no acquisition of its own
        for (const char* name : {"Max pressure [dbar]", "Acquisition", "Frames", "Extraction"})
            label(name)->clear();
    Edit("Comment")->setText(Q(cast->comment.Get()));
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setModified(false);
    SetEditable(editable_);
}

bool THeaderForm::Take(TCastInfo& header, std::string& refusal) const {
    TFieldReader reader;
    const auto text = [this](const char* name) { return Edit(name)->text().trimmed().toStdString(); };
    // A position left empty stays unknown; only positions the operator typed are read.
    long double positions[6];
    bool typed[6];
    for (int i = 0; i < 6; ++i) {
        QLineEdit* edit = Edit(PositionNames[i]);
        typed[i] = edit->isModified();
        const bool latitude = i % 2 == 0;
        const TExtended& stored = latitude ? header.latitude[static_cast<std::size_t>(i / 2)]
                                           : header.longitude[static_cast<std::size_t>(i / 2)];
        positions[i] = stored.ToLongDouble();
        if (!typed[i])
            continue;
        if (text(PositionNames[i]).empty())
            positions[i] = std::numeric_limits<long double>::quiet_NaN();
        else
            positions[i] = reader.Read(text(PositionNames[i]),
                                       {PositionNames[i], latitude ? -90.0 : -180.0,
                                        latitude ? 90.0 : 180.0},
                                       0);
    }
    const bool bedTyped = Edit("Sea-bed depth [m]")->isModified() && !text("Sea-bed depth [m]").empty();
    const double bed = bedTyped ? reader.Read(text("Sea-bed depth [m]"), {"Sea-bed depth [m]", 0, 12000}, 0) : 0;
    if (!reader.Ok()) {
        refusal = reader.Message();
        return false;
    }
    if (header.ID == 0) {
        header.InfoStr[0].Set(text("Number"));
        header.InfoStr[3].Set(text("Vessel"));
    }
    header.InfoStr[1].Set(text("Name"));
    header.InfoStr[4].Set(text("Operator"));
    header.comment.Set(Edit("Comment")->text().toStdString());
    for (int i = 0; i < 6; ++i)
        if (typed[i])
            (i % 2 == 0 ? header.latitude : header.longitude)[static_cast<std::size_t>(i / 2)] =
                TExtended::FromLongDouble(positions[i]);
    if (bedTyped)
        header.BottomValue[3] = TFlaggedValue{static_cast<float>(bed), 0, {0, 0, 0}};
    return true;
}

} // namespace marevo
