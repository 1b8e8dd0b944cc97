#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "nc/interp/interp_setup.h"
#include "nc/interp/nc_errors.h"
#include "platform/testing/test_support.h"

namespace {

TEST(InterpreterSetup, StartValues) {
  auto setup = std::make_unique<InterpreterSetup>();
  setup->feed_rate = 99.0;
  setup->parameters[7] = 1.0;
  setup->motion_mode = 10;
  init_setup(*setup);
  EXPECT_EQ(PLANE_XY, setup->plane);
  EXPECT_EQ(2, setup->length_units);
  EXPECT_EQ(0, setup->distance_mode);
  EXPECT_EQ(3.0, setup->feed_rate);
  EXPECT_EQ(-1, setup->motion_mode);
  EXPECT_EQ(0, setup->spindle_turning);
  EXPECT_EQ(3, setup->control_mode);
  EXPECT_EQ(1, setup->origin_index);
  EXPECT_EQ(1, setup->selected_tool_slot);
  for (int i = 0; i < kInterpParameters; ++i) ASSERT_EQ(i == 5220 ? 1.0 : 0.0, setup->parameters[i]) << i;
  const int g[] = {0, -1, -1, 170, 400, 210, 900, 940, 540, 490, 990, 640};
  const int m[] = {0, -1, 4, -1, 9, -1, 48};
  for (int i = 0; i < kInterpActiveG; ++i) EXPECT_EQ(g[i], setup->active_g_codes[i]) << i;
  for (int i = 0; i < kInterpActiveM; ++i) EXPECT_EQ(m[i], setup->active_m_codes[i]) << i;
  EXPECT_EQ(3.0, setup->active_settings[1]);
}

TEST(InterpreterSetup, ActiveCodesFollowTheState) {
  auto setup = std::make_unique<InterpreterSetup>();
  reset_block(setup->block);
  setup->block.g_modes[GROUP_NON_MODAL] = 40;
  setup->block.m_modes[MGROUP_STOP] = 30;
  setup->plane = PLANE_XZ;
  setup->length_units = 1;
  setup->distance_mode = 1;
  setup->retract_mode = 1;
  setup->spindle_turning = 2;
  setup->flood = 1;
  setup->feed_override = 0;
  setup->origin_index = 9;
  setup->control_mode = 2;
  save_active_g_codes(&setup->block, *setup);
  save_active_m_codes(&setup->block, *setup);
  EXPECT_EQ(40, setup->active_g_codes[2]);
  EXPECT_EQ(180, setup->active_g_codes[3]);
  EXPECT_EQ(200, setup->active_g_codes[5]);
  EXPECT_EQ(910, setup->active_g_codes[6]);
  EXPECT_EQ(593, setup->active_g_codes[8]);
  EXPECT_EQ(980, setup->active_g_codes[10]);
  EXPECT_EQ(610, setup->active_g_codes[11]);
  EXPECT_EQ(30, setup->active_m_codes[1]);
  EXPECT_EQ(3, setup->active_m_codes[2]);
  EXPECT_EQ(-1, setup->active_m_codes[4]);
  EXPECT_EQ(8, setup->active_m_codes[5]);
  EXPECT_EQ(49, setup->active_m_codes[6]);
}

TEST(NamedParameters, LevelsAndGrowth) {
  auto setup = std::make_unique<InterpreterSetup>();
  double v;
  EXPECT_FALSE(lookup_named_param(*setup, "depth", &v));
  EXPECT_EQ(NCE_NAMED_PARAMETER_NOT_DEFINED, store_named_parameter(*setup, "depth", 1.0));
  ASSERT_EQ(0, add_named_param(*setup, "depth"));
  ASSERT_EQ(0, store_named_parameter(*setup, "depth", 2.5));
  ASSERT_EQ(0, add_named_param(*setup, "depth"));  // already there: value kept
  ASSERT_TRUE(lookup_named_param(*setup, "depth", &v));
  EXPECT_EQ(2.5, v);

  // Inside a call: plain names are the level's own, '_' names global.
  setup->call_level = 1;
  EXPECT_FALSE(lookup_named_param(*setup, "depth", &v));
  ASSERT_EQ(0, add_named_param(*setup, "local"));
  ASSERT_EQ(0, add_named_param(*setup, "_global"));
  release_named_params(1, *setup);
  setup->call_level = 0;
  EXPECT_FALSE(lookup_named_param(*setup, "local", &v));
  EXPECT_TRUE(lookup_named_param(*setup, "_global", &v));

  // The 21st name of a level grows its arrays from 20 to 40 entries.
  for (int i = 0; i < 18; ++i) ASSERT_EQ(0, add_named_param(*setup, ("n" + std::to_string(i)).c_str()));
  EXPECT_EQ(20, setup->sub_context[0].named.count);
  EXPECT_EQ(20, setup->sub_context[0].named.capacity);
  ASSERT_EQ(0, add_named_param(*setup, "n20"));
  EXPECT_EQ(40, setup->sub_context[0].named.capacity);
  for (int i = 0; i < 18; ++i) EXPECT_TRUE(lookup_named_param(*setup, ("n" + std::to_string(i)).c_str(), &v));

  // Thousands of names in a call level, each with its own value; gone when the call
  // returns, and the level takes new ones again.
  setup->call_level = 1;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 5000; ++i) {
      std::string name = "p" + std::to_string(i);
      ASSERT_EQ(0, add_named_param(*setup, name.c_str()));
      ASSERT_EQ(0, store_named_parameter(*setup, name.c_str(), i + round));
    }
    for (int i = 0; i < 5000; ++i) {
      ASSERT_TRUE(lookup_named_param(*setup, ("p" + std::to_string(i)).c_str(), &v)) << i;
      ASSERT_EQ(i + round, v);
    }
    EXPECT_FALSE(lookup_named_param(*setup, "p5000", &v));
    EXPECT_FALSE(lookup_named_param(*setup, "p", &v));
    release_named_params(1, *setup);
    EXPECT_FALSE(lookup_named_param(*setup, "p0", &v));
    EXPECT_FALSE(lookup_named_param(*setup, "p4999", &v));
  }
  setup->call_level = 0;
  EXPECT_TRUE(lookup_named_param(*setup, "n0", &v));

  // A new load forgets them.
  init_setup(*setup);
  EXPECT_FALSE(lookup_named_param(*setup, "depth", &v));
  EXPECT_FALSE(lookup_named_param(*setup, "_global", &v));
}

TEST(ProgramFile, LinesPositionsAndJumps) {
  testing_support::TempDir dir;
  CString path = dir / "p.nc";
  ASSERT_TRUE(testing_support::WriteFileBytes(path, "G0 X1\r\nG1 X2\n\nlast"));
  auto setup = std::make_unique<InterpreterSetup>();
  EXPECT_FALSE(interp_open_file(*setup, dir / "missing.nc"));
  ASSERT_TRUE(interp_open_file(*setup, path));
  EXPECT_STREQ(path, setup->filename);
  char buf[8];
  struct Line {
    const char* text;
    long offset;
  } lines[] = {{"G0 X1", 0}, {"G1 X2", 7}, {"", 13}, {"last", 14}};
  for (const Line& l : lines) {
    ASSERT_EQ((int)std::strlen(l.text), interp_read_line(*setup, buf, sizeof buf));
    EXPECT_STREQ(l.text, buf);
    EXPECT_EQ(l.offset, setup->block.line_offset);
  }
  EXPECT_EQ(-1, interp_read_line(*setup, buf, sizeof buf));
  EXPECT_EQ(18, interp_file_position(*setup));
  ASSERT_TRUE(interp_seek(*setup, 7));
  ASSERT_EQ(5, interp_read_line(*setup, buf, sizeof buf));
  EXPECT_STREQ("G1 X2", buf);
  // A line longer than the buffer gives its whole length and the part that fits.
  ASSERT_TRUE(interp_seek(*setup, 0));
  ASSERT_EQ(5, interp_read_line(*setup, buf, 4));
  EXPECT_STREQ("G0 ", buf);
  EXPECT_EQ(7, interp_file_position(*setup));
  int line;
  EXPECT_EQ(0, interp_end_of_file(*setup, &line));
  EXPECT_EQ(nullptr, setup->file);
  EXPECT_EQ(-1, interp_read_line(*setup, buf, sizeof buf));
}

TEST(ProgramFile, LinesAcrossTheReadAhead) {
  testing_support::TempDir dir;
  CString path = dir / "big.nc";
  std::string text;
  std::vector<long> offsets;
  for (int i = 0; text.size() < 3u * 65536; ++i) {
    offsets.push_back((long)text.size());
    text += "G1 X" + std::to_string(i) + " Y" + std::to_string(i * 7 % 13) + (i % 2 ? "\r\n" : "\n");
  }
  ASSERT_TRUE(testing_support::WriteFileBytes(path, text));
  auto setup = std::make_unique<InterpreterSetup>();
  ASSERT_TRUE(interp_open_file(*setup, path));
  char buf[512];
  for (size_t i = 0; i < offsets.size(); ++i) {
    ASSERT_GT(interp_read_line(*setup, buf, sizeof buf), 0);
    ASSERT_EQ(offsets[i], setup->block.line_offset);
    ASSERT_EQ(0, text.compare((size_t)offsets[i], std::strlen(buf), buf)) << i;
  }
  EXPECT_EQ(-1, interp_read_line(*setup, buf, sizeof buf));
}

}  // namespace
