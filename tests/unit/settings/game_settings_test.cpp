#include "settings/game_settings.h"

#include <gtest/gtest.h>

#include "platform/posix/registry_posix.h"

namespace {

class GameSettingsTest : public testing::Test {
 protected:
  void SetUp() override { platform::posix_registry::Reset(); }
  void TearDown() override {
    SettingsHandle.reset();
    platform::posix_registry::Reset();
  }
};

TEST_F(GameSettingsTest, ReadsAndWritesWithTheirTypes) {
  GameSettings settings = GameSettings::Open();
  ASSERT_TRUE(settings.Opened());
  EXPECT_EQ(settings.ReadString("ID"), "") << "an absent string reads as empty text";
  settings.WriteString("ID", "player");
  settings.WriteInteger("Resolution", 5);
  EXPECT_EQ(settings.ReadString("ID"), "player");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 5);
  EXPECT_EQ(GameSettings::Open().ReadInteger("resolution"), 5) << "names match whatever their case";
}

TEST_F(GameSettingsTest, ErrorsCarryTheMessagesTheUserSees) {
  GameSettings settings = GameSettings::Open();
  settings.WriteString("Resolution", "2");
  settings.WriteInteger("LangSelection", 1);
  platform::posix_registry::WriteOther(kGameSettingsKey, "Blob");
  struct Case {
    std::function<void()> operation;
    const char* message;
  };
  const Case cases[] = {
      {[&] { settings.ReadInteger("Windowmode"); }, "Failed to get data for 'Windowmode'"},
      {[&] { settings.ReadInteger("Resolution"); }, "Invalid data type for 'Resolution'"},
      {[&] { settings.ReadString("LangSelection"); }, "Invalid data type for 'LangSelection'"},
      {[&] { settings.ReadString("Blob"); }, "Invalid data type for 'Blob'"},
  };
  for (const Case& c : cases) {
    try {
      c.operation();
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const SettingsError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
  platform::posix_registry::SetReadOnly(true);
  EXPECT_THROW(
      {
        try {
          settings.WriteInteger("VolumeLevel", 3);
        } catch (const SettingsError& error) {
          EXPECT_STREQ(error.what(), "Failed to set data for 'VolumeLevel'");
          throw;
        }
      },
      SettingsError);
  EXPECT_THROW(
      {
        try {
          settings.CreateSubkey(kFirstStartMarker);
        } catch (const SettingsError& error) {
          EXPECT_EQ(std::string(error.what()), std::string("Failed to create key ") + kFirstStartMarker);
          throw;
        }
      },
      SettingsError);
}

TEST_F(GameSettingsTest, DefaultsFillOnlyWhatIsAbsent) {
  GameSettings settings = GameSettings::Open();
  settings.WriteInteger("SoundOnOff", 0);
  settings.WriteString("ID", "kept");
  WriteDefaultSettings();
  EXPECT_EQ(settings.ReadString("ID"), "kept");
  EXPECT_EQ(settings.ReadInteger("SoundOnOff"), 0);
  EXPECT_EQ(settings.ReadInteger("Resolution"), 2);
  EXPECT_EQ(settings.ReadInteger("MusicOnOff"), 1);
  EXPECT_EQ(settings.ReadInteger("WindowMode"), 1);
  EXPECT_EQ(settings.ReadInteger("VolumeLevel"), 3);
  EXPECT_FALSE(settings.ValueExists("ColorDepth"));
  EXPECT_FALSE(settings.ValueExists("LangSelection"));
}

TEST_F(GameSettingsTest, FirstStartOverwritesAndMarks) {
  GameSettings settings = GameSettings::Open();
  settings.WriteString("ID", "gamer");
  settings.WriteInteger("Resolution", 8);
  settings.WriteInteger("WindowMode", 0);
  SettingsHandle = GameSettings::Open();
  WriteFirstStartSettings();
  EXPECT_TRUE(settings.SubkeyExists(kFirstStartMarker));
  EXPECT_EQ(settings.ReadString("ID"), "Seu Login");
  EXPECT_EQ(settings.ReadString("LangSelection"), "Por");
  EXPECT_EQ(settings.ReadInteger("Resolution"), 1);
  EXPECT_EQ(settings.ReadInteger("WindowMode"), 1) << "written as Windowmode, the same value";
  EXPECT_EQ(settings.ReadInteger("ColorDepth"), 1);
  EXPECT_EQ(settings.ReadInteger("MusicOnOff"), 0);
  EXPECT_EQ(settings.ReadInteger("SoundOnOff"), 0);
}

TEST_F(GameSettingsTest, SetWindowModeWritesBothValues) {
  SettingsHandle = GameSettings::Open();
  SetWindowMode(false);
  EXPECT_EQ(SettingsHandle->ReadInteger("WindowMode"), 0);
  EXPECT_EQ(SettingsHandle->ReadInteger("ColorDepth"), 1);
  SetWindowMode(true);
  EXPECT_EQ(SettingsHandle->ReadInteger("Windowmode"), 1);
}

}  // namespace
