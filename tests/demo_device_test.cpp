#include "Protectfileio/Protectfileio.h"
#include "platform/RegFile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The demo drive E's MPlay.sys: PHOTOS and Movies private, password 2580, wait state 3.
TEST(DemoDevice, DriveEHoldsAValidProtectionFile) {
    const std::string text = ReadAll(LUNAVIO_DEMO_DIR "/drives/E/MPlay.sys");
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ASSERT_EQ(bytes.size(), kProtectionFileSize);
    // Raw bytes first, so the check does not rest on the decoder alone.
    EXPECT_EQ(bytes[35], 2);
    EXPECT_EQ(bytes[34], 3);
    EXPECT_EQ(bytes[40], 0x25);
    EXPECT_EQ(bytes[41], 0x80);
    EXPECT_EQ(bytes[1024], 0xFF);
    EXPECT_EQ(bytes[1026], 'P');
    EXPECT_EQ(bytes[1090], 'M');

    const auto s = DecodeProtectionFile(bytes);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->folderCount, 2);
    EXPECT_EQ(s->password, 0x2580);
    EXPECT_EQ(s->waitState, 3);
    EXPECT_EQ(std::u16string(s->names[0].data()), u"PHOTOS");
    EXPECT_EQ(std::u16string(s->names[1].data()), u"Movies");

    std::vector<WriterNameSlot> slots(2);
    std::copy_n(u"PHOTOS", 6, slots[0].begin());
    std::copy_n(u"Movies", 6, slots[1].begin());
    const ProtectionFile expected = EncodeProtectionFile(slots, 0x2580, 3);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), expected.begin()));
}

// The example installed for users with the real disk names the same model: its comments
// must not hide the keys from the parser.
TEST(DemoDevice, RegistryAndInstalledExampleNameTheModelOfTheSimulatedDrives) {
    for (const char* file :
         {LUNAVIO_DEMO_DIR "/hkcu.reg", LUNAVIO_DEMO_DIR "/../docs/examples/hkcu.reg"}) {
        SCOPED_TRACE(file);
        const auto root = platform::ParseRegFile(ReadAll(file));
        const auto software = root.subkeys.find("SOFTWARE");
        ASSERT_NE(software, root.subkeys.end());
        const auto zembar = software->second.subkeys.find("Zembar");
        ASSERT_NE(zembar, software->second.subkeys.end());
        const auto& model = zembar->second.subkeys.at("KR512").values;
        EXPECT_EQ(model.at("PrivateFolderSupport").data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
        EXPECT_EQ(model.at("VenderID").data, (std::vector<std::uint8_t>{0x17, 0x3B, 0, 0}));
        EXPECT_EQ(model.at("ProductID").data, (std::vector<std::uint8_t>{0x12, 0x05, 0, 0}));
    }
    const std::string sim = ReadAll(LUNAVIO_DEMO_DIR "/lunavio.sim");
    EXPECT_NE(sim.find("E\tdrives/E\tUSB\\VID_3B17&PID_0512\\"), std::string::npos);
}

} // namespace
