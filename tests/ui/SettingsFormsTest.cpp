// The settings editors off screen, each opened by its command of the main window on a temporary
// data root: what OK stores and the files read back, what Cancel leaves, and the refusals.

#include "ui/MainForm.h"

#include "probelink/QvlUtil.h"
#include "shell/Settings.h"
#include "support/AppEnv.h"
#include "ui/EnvironmentDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
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

} // namespace
} // namespace marevo
