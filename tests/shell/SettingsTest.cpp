#include "shell/Settings.h"

#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <fstream>

namespace marevo {
namespace {

namespace fs = std::filesystem;
using test::TAppEnv;

TEST(Settings, NumberFieldsAcceptDotNumbersInRangeAndNameTheFieldOtherwise) {
    const TNumberField step{"Step", 0.001, 100};
    const TNumberField count{"Samples", 2, 100, true};
    struct Case {
        const char* text;
        const TNumberField* field;
        std::optional<double> value;
        const char* message;
    };
    const Case cases[] = {
        {" 2.5 ", &step, 2.5, ""},
        {"+1e1", &step, 10, ""},
        {"2,5", &step, {}, "\"Step\": \"2,5\" is not a number (use \".\" as the decimal separator)."},
        {"abc", &step, {}, "\"Step\": \"abc\" is not a number."},
        {"1.5x", &step, {}, "\"Step\": \"1.5x\" is not a number."},
        {"nan", &step, {}, "\"Step\": \"nan\" is not a number."},
        {"", &step, {}, "\"Step\": a number is needed."},
        {"0", &step, {}, "\"Step\" must be between 0.001 and 100."},
        {"100", &count, 100, ""},
        {"2.5", &count, {}, "\"Samples\": \"2.5\" is not a whole number."},
        {"1", &count, {}, "\"Samples\" must be between 2 and 100."},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(ReadNumberField(c.text, *c.field, message), c.value) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
    // A form keeps the first refusal and the fallback values.
    TFieldReader reader;
    EXPECT_EQ(reader.Read("3", step, 1), 3);
    EXPECT_EQ(reader.Read("x", step, 1), 1);
    EXPECT_EQ(reader.Read("0", count, 7), 7);
    EXPECT_EQ(reader.Message(), "\"Step\": \"x\" is not a number.");
    EXPECT_EQ(NumberFieldText(0.1), "0.1");
    EXPECT_EQ(NumberFieldText(2.0), "2");
    EXPECT_EQ(NumberFieldText(-0.0000001), "0");
}

TEST(Settings, SerialDevicesStableNamesFirstThenEachFamilyInNumericOrder) {
    test::TTestEnv t;
    const fs::path dev = t.dir / "dev";
    fs::create_directories(dev / "serial" / "by-id");
    for (const char* name : {"ttyS10", "ttyS2", "ttyUSB1", "ttyUSB0", "ttyACM0", "tty", "ttyprintk",
                             "ttySx", "null"})
        std::ofstream(dev / name).put('\0');
    fs::create_symlink(dev / "ttyUSB1", dev / "serial" / "by-id" / "usb-Probe_Adapter-if00");
    std::vector<std::string> paths, labels;
    for (const TSerialDevice& d : DetectSerialDevices(dev)) {
        paths.push_back(fs::path(d.path).lexically_relative(dev).string());
        labels.push_back(d.label);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"serial/by-id/usb-Probe_Adapter-if00", "ttyUSB0",
                                               "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"}));
    EXPECT_EQ(labels[0], (dev / "serial/by-id/usb-Probe_Adapter-if00").string() + " (ttyUSB1)");
    EXPECT_TRUE(DetectSerialDevices(t.dir / "none").empty());
}

TEST(Settings, PortChoicesWritePortsMapThatThePortLookupReadsBack) {
    TAppEnv env;
    ASSERT_TRUE(env.environ.SetDefault());
    const std::string before = "# ship's adapters\nCOM1=/dev/ttyS0\n";
    WritePortsMap(env.environ, before);

    TPortChoices choices;
    choices[0] = {"/dev/serial/by-id/usb-Probe", 12, 4, 4, 1, 1}; // 921600,s,4,2,e
    choices[1] = {"/dev/ttyS0", 5, 0, 0, 0, 0};
    choices[3] = {"/dev/ttyUSB3", 7, 0, 2, 0, 2};
    ASSERT_EQ(PortChoicesProblem(choices), "");
    const std::string map = ApplyPortChoices(choices, env.environ, ReadPortsMap(env.environ));
    WritePortsMap(env.environ, map);

    EXPECT_EQ(ReadPortsMap(env.environ),
              before + "COM2=/dev/serial/by-id/usb-Probe\nCOM3=/dev/ttyUSB3\n");
    EXPECT_EQ(env.environ.ProbeCommPort.CommCfgStr.Get(), "COM2:921600,s,4,2,e");
    EXPECT_EQ(env.environ.NMEACommPort.CommCfgStr.Get(), "COM1:9600,n,8,1,n");
    EXPECT_EQ(env.environ.ExtCommPort.CommCfgStr.Get(), "NONE");
    EXPECT_EQ(env.environ.ExtCommPort.PortNumber, 0);
    EXPECT_EQ(env.environ.RDRCommPort.CommCfgStr.Get(), "COM3:38400,e,8,1,n");
    EXPECT_EQ(env.environ.PortDeviceName(env.environ.ProbeCommPort), "/dev/serial/by-id/usb-Probe");
    EXPECT_EQ(env.environ.PortDeviceName(env.environ.RDRCommPort), "/dev/ttyUSB3");
    EXPECT_TRUE(env.environ.IsNMEACommOk());

    // The ports read back as the same choices, and applying them again changes nothing.
    const std::string map2 = ReadPortsMap(env.environ);
    for (int i = 0; i < InstrumentCount; ++i)
        EXPECT_EQ(PortChoiceOf(InstrumentPort(env.environ, static_cast<TInstrument>(i)), map2),
                  choices[static_cast<std::size_t>(i)])
            << i;
    EXPECT_EQ(ApplyPortChoices(choices, env.environ, map2), map2);
}

TEST(Settings, ADeviceChosenForTwoInstrumentsOrABadIndexIsRefused) {
    TPortChoices choices;
    choices[0].device = "/dev/ttyUSB0";
    choices[2].device = "/dev/ttyUSB0";
    EXPECT_EQ(PortChoicesProblem(choices),
              "The external sensor port /dev/ttyUSB0 is already used by the probe.");
    choices[2].device = "/dev/ttyUSB1";
    choices[2].baudIndex = 13;
    EXPECT_EQ(PortChoicesProblem(choices),
              "The line settings of the external sensor port are not valid.");
}

TEST(Settings, ExportTimeoutBelowTenSecondsIsWarned) {
    EXPECT_EQ(ExportTimeoutWarning(10), "");
    EXPECT_EQ(ExportTimeoutWarning(9.99),
              "Automatic data export timeout must be greater than 10 seconds. It will be set to "
              "default value!");
}

} // namespace
} // namespace marevo
