// The settings editors off screen, each opened by its command of the main window on a temporary
// data root: what OK stores and the files read back, what Cancel leaves, and the refusals.

#include "ui/MainForm.h"

#include "probelink/QvlUtil.h"
#include "shell/Settings.h"
#include "support/AppEnv.h"
#include "support/Cruises.h"
#include "records/Config.h"
#include "ui/ConfigForm.h"
#include "ui/CruiseEditorDialog.h"
#include "ui/HeaderForm.h"
#include "ui/ParameterEditor.h"
#include "processing/ParamCollection.h"
#include "ui/EnvironmentDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

struct TSettingsFormsTest : ::testing::Test {
    TSettingsFormsTest() {
        form.OpenDataDialog = [] { return std::nullopt; };
        EXPECT_TRUE(form.StartUp());
        form.FirstShow();
        form.WaitLongWork();
    }
    // Opens the command's dialog, lets edit change its fields, then answers OK (true) or Cancel;
    // whether the dialog closed accepted.
    template <class TDialog>
    bool Edit(const char* action, const std::function<void(TDialog&)>& edit, bool ok) {
        bool accepted = false;
        form.RunDialog = [&](QDialog& d) {
            auto& dialog = dynamic_cast<TDialog&>(d);
            edit(dialog);
            if (ok)
                dialog.accept();
            else
                dialog.reject();
            accepted = dialog.result() == QDialog::Accepted;
            return accepted;
        };
        form.Action(action)->trigger();
        return accepted;
    }
    static void Type(QLineEdit* edit, const char* text) {
        edit->setText(QString::fromLatin1(text));
        edit->setModified(true);
    }
    fs::path EnvFile() const { return env.environ.EnvironFileName(); }

    test::TAppEnv env;
    TMainForm form{env};
};

TEST_F(TSettingsFormsTest, EnvironmentOkStoresTheFieldsAndThePortsMap) {
    ASSERT_TRUE(Edit<TEnvironmentDialog>(
        "Environment",
        [](TEnvironmentDialog& d) {
            d.Device(TInstrument::Probe)->setEditText(QStringLiteral("/dev/pts/7"));
            d.LineSetting(TInstrument::Probe, 0)->setCurrentIndex(9); // 115200
            d.Device(TInstrument::Gps)->setEditText(QStringLiteral("/dev/ttyUSB1"));
            Type(d.Delay(3), "4.5");
            Type(d.Refresh(1), "0.25");
            d.RepeaterEnabled()->setChecked(false);
        },
        true));

    TEnviron reread(env.dir / "data");
    ASSERT_TRUE(reread.SetDefault());
    ASSERT_TRUE(reread.FileToEnv());
    EXPECT_EQ(reread.ProbeCommPort.CommCfgStr.Get(), "COM1:115200,n,8,1,n");
    EXPECT_EQ(reread.PortDeviceName(reread.ProbeCommPort), "/dev/pts/7");
    EXPECT_EQ(reread.PortDeviceName(reread.NMEACommPort), "/dev/ttyUSB1");
    EXPECT_EQ(reread.CommDelay[3], 4.5);
    EXPECT_EQ(reread.RefreshRate[1], 0.25);
    EXPECT_EQ(form.Shell().Qvl().Delays()[3], 4.5); // the protocol takes the new delays at once
}

TEST_F(TSettingsFormsTest, EnvironmentCancelAndRefusalsLeaveFileAndObjectAsTheyWere) {
    const std::string file = ReadFileBytes(EnvFile());
    const TCommPort probe = env.environ.ProbeCommPort;
    const double delay3 = env.environ.CommDelay[3];
    const auto unchanged = [&] {
        EXPECT_EQ(ReadFileBytes(EnvFile()) == file, true);
        EXPECT_EQ(std::memcmp(&probe, &env.environ.ProbeCommPort, sizeof probe), 0);
        EXPECT_EQ(env.environ.CommDelay[3], delay3);
        EXPECT_FALSE(fs::exists(PortsMapFileName(env.environ)));
    };
    const auto editAll = [](TEnvironmentDialog& d) {
        d.Device(TInstrument::Probe)->setEditText(QStringLiteral("/dev/ttyUSB0"));
        Type(d.Delay(3), "9");
    };
    EXPECT_FALSE(Edit<TEnvironmentDialog>("Environment", editAll, false));
    unchanged();

    struct Case {
        const char* delay;
        const char* gps;
        const char* refusal;
    };
    const Case cases[] = {
        {"0,5", "", "\"Command to answer\": \"0,5\" is not a number (use \".\" as the decimal "
                    "separator)."},
        {"abc", "", "\"Command to answer\": \"abc\" is not a number."},
        {"4", "/dev/ttyUSB0", "The GPS port /dev/ttyUSB0 is already used by the probe."},
    };
    for (const Case& c : cases) {
        std::string refusal;
        EXPECT_FALSE(Edit<TEnvironmentDialog>(
            "Environment",
            [&](TEnvironmentDialog& d) {
                editAll(d);
                Type(d.Delay(3), c.delay);
                d.Device(TInstrument::Gps)->setEditText(QString::fromLatin1(c.gps));
                EXPECT_FALSE(d.Apply());
                refusal = d.LastRefusal();
            },
            true))
            << c.delay;
        EXPECT_EQ(refusal, c.refusal);
        unchanged();
    }
}

TEST_F(TSettingsFormsTest, ConfigurationOkStoresChangedFieldsInTheFile) {
    const fs::path file = env.environ.ConfigFileName();
    form.ParaListDialog = [](const QString&, TParaList& list) {
        list.count = 2;
        list.List[0] = 101;
        list.List[1] = 401;
        return true;
    };
    ASSERT_TRUE(Edit<TSettingsForm>(
        "Configuration",
        [](TSettingsForm& f) {
            Type(static_cast<QLineEdit*>(f.Field("Vertical step")), "0.5");
            Type(static_cast<QLineEdit*>(f.Field("Down [dbar] limit")), "7.25");
            static_cast<QCheckBox*>(f.Field("Down [dbar] alarm"))->setChecked(true);
            static_cast<QComboBox*>(f.Field("Conductivity unit"))->setCurrentIndex(2);
            Type(static_cast<QLineEdit*>(f.Field("Export period [s]")), "30");
            static_cast<QLineEdit*>(f.Field("Export file name"))->setText("live.txt");
            f.findChild<QPushButton*>("Bottle table Columns...")->click();
        },
        true));
    TConfig reread;
    ASSERT_TRUE(reread.ReadFromFile(file, env.Collections()));
    EXPECT_EQ(reread.AcquiCfg.VertStep.ToLongDouble(), TExtended::FromDouble(0.5).ToLongDouble());
    EXPECT_EQ(reread.GenCfg.AlarmLimit[1].ToLongDouble(), TExtended::FromDouble(7.25).ToLongDouble());
    EXPECT_EQ(reread.GenCfg.AlarmChecked[1], 1);
    EXPECT_EQ(reread.GenCfg.CondUnit, 2);
    EXPECT_DOUBLE_EQ(reread.ExtractionFoldersCfg.AutomaticTextDataExportTimeout * 86400, 30);
    EXPECT_EQ(reread.ExtractionFoldersCfg.AutomaticTextDataExportFileName.Get(), "live.txt");
    EXPECT_EQ(reread.BottleTextCfg.ParaList.count, 2);
    EXPECT_EQ(reread.BottleTextCfg.ParaList.List[1], 401);
    EXPECT_EQ(form.PanelText(11), QStringLiteral("Active")); // the status bar knows the alarm
}

TEST_F(TSettingsFormsTest, ConfigurationCancelAndRefusalsChangeNothingAndShortPeriodsBecomeTen) {
    const fs::path file = env.environ.ConfigFileName();
    const std::string bytes = ReadFileBytes(file);
    TConfig before;
    before.Assign(env.config);
    const auto unchanged = [&] {
        EXPECT_EQ(ReadFileBytes(file) == bytes, true);
        EXPECT_EQ(std::memcmp(&before.GenCfg, &env.config.GenCfg, sizeof before.GenCfg), 0);
        EXPECT_EQ(std::memcmp(&before.AcquiCfg, &env.config.AcquiCfg, sizeof before.AcquiCfg), 0);
        EXPECT_EQ(env.config.DataTextCfg.ParaList.count, before.DataTextCfg.ParaList.count);
    };
    form.ParaListDialog = [](const QString&, TParaList& list) {
        list.count = 1;
        return true;
    };
    const auto edit = [](TSettingsForm& f) {
        Type(static_cast<QLineEdit*>(f.Field("Vertical step")), "2");
        static_cast<QCheckBox*>(f.Field("Up [dbar] alarm"))->setChecked(true);
        f.findChild<QPushButton*>("Data text files Columns...")->click();
    };
    EXPECT_FALSE(Edit<TSettingsForm>("Configuration", edit, false));
    unchanged();

    struct Case {
        const char* field;
        const char* text;
        const char* refusal;
    };
    const Case cases[] = {
        {"Vertical step", "0,5", "\"Vertical step\": \"0,5\" is not a number (use \".\" as the "
                                 "decimal separator)."},
        {"Speed filter weight [%]", "150", "\"Speed filter weight [%]\" must be between 1 and 100."},
        {"First filter samples", "2.5", "\"First filter samples\": \"2.5\" is not a whole number."},
    };
    for (const Case& c : cases) {
        std::string refusal;
        EXPECT_FALSE(Edit<TSettingsForm>(
            "Configuration",
            [&](TSettingsForm& f) {
                edit(f);
                Type(static_cast<QLineEdit*>(f.Field(c.field)), c.text);
                EXPECT_FALSE(f.Apply());
                refusal = f.LastRefusal();
            },
            true));
        EXPECT_EQ(refusal, c.refusal);
        unchanged();
    }

    // A period below 10 s is warned about and stored as 10 s.
    ASSERT_TRUE(Edit<TSettingsForm>(
        "Configuration",
        [](TSettingsForm& f) { Type(static_cast<QLineEdit*>(f.Field("Export period [s]")), "4"); },
        true));
    EXPECT_DOUBLE_EQ(env.config.ExtractionFoldersCfg.AutomaticTextDataExportTimeout * 86400, 10);
    EXPECT_EQ(env.op.Events().back(), "Message Warning [Warning]: " + ExportTimeoutWarning(4));
}

TEST_F(TSettingsFormsTest, CruiseEditorUncheckedCastIsStoredInvalidAndHeadersWrittenBack) {
    ASSERT_TRUE(test::MakeImportedCruise(form.Shell(), env, 3));
    ASSERT_EQ(form.Shell().LoadedCastNumber(), 3);

    std::string refusal;
    ASSERT_TRUE(Edit<TCruiseEditorDialog>(
        "CastEditor",
        [&](TCruiseEditorDialog& d) {
            QListWidget* casts = d.CastList();
            ASSERT_EQ(casts->count(), 4);
            casts->item(0)->setCheckState(Qt::Unchecked); // the cruise header stays checked
            EXPECT_EQ(casts->item(0)->checkState(), Qt::Checked);
            casts->item(2)->setCheckState(Qt::Unchecked);
            casts->setCurrentRow(1);
            Type(d.Header()->Edit("Name"), "Station 7");
            Type(d.Header()->Edit("Start latitude"), "91");
            casts->setCurrentRow(3); // refused: the editor stays on cast 1
            EXPECT_EQ(casts->currentRow(), 1);
            refusal = env.op.Events().back();
            Type(d.Header()->Edit("Start latitude"), "43.25");
        },
        true));
    EXPECT_EQ(refusal, "Message Warning [Cruise Editor]: \"Start latitude\" must be between -90 and 90.");
    EXPECT_EQ(env.config.GenCfg.CruiseName.Get(), "CR");
    form.WaitLongWork();
    EXPECT_EQ(form.Shell().LoadedCastNumber(), 3); // the cast in hand is shown again

    TCruisefile file;
    ASSERT_TRUE(file.OpenCruiseFile(env.dir / "data" / "CR" / "CR.cru"));
    ASSERT_TRUE(file.ReadCastNb1(1));
    EXPECT_EQ(file.CastInfoc.Cast.InfoStr[1].Get(), "Station 7");
    EXPECT_EQ(file.CastInfoc.Cast.latitude[0].ToLongDouble(), TExtended::FromDouble(43.25).ToLongDouble());
    ASSERT_TRUE(file.ReadCastNb1(2));
    EXPECT_EQ(file.CastInfoc.Cast.InvalidCast, 1);
    ASSERT_TRUE(file.ReadCastNb1(0));
    EXPECT_EQ(file.CastInfoc.Cast.InvalidCast, 0);
}

TEST_F(TSettingsFormsTest, ParameterEditorKeepsEditsAcrossParametersSavesOnOkRestoresOnCancel) {
    const fs::path paramCol = env.environ.ParamColFileName();
    const std::string bytes = ReadFileBytes(paramCol);
    ASSERT_GE(env.probe.Count(), 3);
    const auto definitions = [&] {
        TMemoryStream all;
        for (int i = 0; i < env.probe.Count(); ++i)
            env.probe.Items(i)->WritePara(all);
        return all.Bytes();
    };
    const auto before = definitions();
    const auto edit = [](TParameterEditor& d) {
        d.List()->setCurrentRow(1);
        Type(static_cast<QLineEdit*>(d.Panel()->Field("Screen name")), "Temp A");
        Type(static_cast<QLineEdit*>(d.Panel()->Field("Screen decimals")), "4");
        d.List()->setCurrentRow(2);
        Type(static_cast<QLineEdit*>(d.Panel()->Field("c1")), "1.5");
        Type(static_cast<QLineEdit*>(d.Panel()->Field("Validation maximum")), "1,5");
        d.List()->setCurrentRow(0); // refused: stays on parameter 2
        EXPECT_EQ(d.List()->currentRow(), 2);
        Type(static_cast<QLineEdit*>(d.Panel()->Field("Validation maximum")), "35");
    };
    EXPECT_FALSE(Edit<TParameterEditor>("ParameterEditor", edit, false));
    EXPECT_EQ(definitions() == before, true);
    EXPECT_EQ(ReadFileBytes(paramCol) == bytes, true);

    ASSERT_TRUE(Edit<TParameterEditor>("ParameterEditor", edit, true));
    TParamCollection reread;
    ASSERT_TRUE(reread.ReadFromStreamName(paramCol));
    EXPECT_EQ(reread.Items(1)->ParaText.ParaStr[2].Get(), "Temp A");
    EXPECT_EQ(reread.Items(1)->ParaText.Decimal[2], 4);
    EXPECT_EQ(reread.Items(2)->ParaCalib.calib[1].ToLongDouble(), TExtended::FromDouble(1.5).ToLongDouble());
    EXPECT_EQ(reread.Items(2)->ParaSmooth.ValidMax, 35.0f);

    // View › Probe shows a collection's five pages without letting them change.
    TParameterEditor view(env.probe, false);
    EXPECT_EQ(view.Panel()->count(), 5);
    EXPECT_TRUE(static_cast<QLineEdit*>(view.Panel()->Field("Unit"))->isReadOnly());
}

} // namespace
} // namespace marevo
