// Whole loads pinned by a digest of their element lists: every field of every element,
// after the load and again after the optimiser, for the generated bench programs (G-code
// relief, contour and cycles, an HPGL plot, a CAM file) and for the interpreter's random
// programs. The loader's speed work changes how elements are read, stored and freed,
// never what they hold; the expected digests were taken from the loader before that work.
//
// The G-code and HPGL inputs come from the bench data generator in the shared folder
// beside the tree (generated at build time; without it those cases are skipped), the CAM
// file from bench/nc_load/gen_cam.py. The Windows and the host C libraries round sines
// and arc tangents differently, so arcs split into other points and each build has its
// own digests.
#include <cstring>
#include <memory>
#include <string>

#include "foundation/checksum.h"
#include "nc/interp/interp_read.h"
#include "nc/interp/tests/gcode_generator.h"
#include "nc/loader/nc_loader.h"
#include "nc/optimize/path_optimizer.h"
#include "nc/tests/nc_test_support.h"
#include "platform/bytes.h"

namespace {

// The bytes of every field, little-endian, fed to MD5.
class ElementDigest {
 public:
  ElementDigest() { Md5Init(&m_md5); }

  void Add(const CNCProgram& program) {
    Put32((DWORD)program.GetElementCount());
    for (int i = 0; i < program.GetElementCount(); i++) Add(*program.GetElement(i), program.GetMoveExtras(i));
  }
  void Put8(BYTE v) { Md5Update(&m_md5, &v, 1); }
  void Put32(DWORD v) {
    BYTE b[4];
    bytes::Store32(b, v);
    Md5Update(&m_md5, b, sizeof b);
  }
  void PutDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    BYTE b[8];
    bytes::Store64(b, bits);
    Md5Update(&m_md5, b, sizeof b);
  }
  void PutText(const std::string& s) { Md5Update(&m_md5, s.data(), s.size()); }
  void PutVec(const Vec3& v) {
    PutDouble(v.x);
    PutDouble(v.y);
    PutDouble(v.z);
  }
  std::string Hex() {
    BYTE digest[16];
    Md5Final(digest, &m_md5);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (BYTE b : digest) {
      hex += kHex[b >> 4];
      hex += kHex[b & 15];
    }
    return hex;
  }

 private:
  void Add(const CPathElement& e, const MoveExtras& x) {
    Put32(e.m_nCode);
    Put32(e.m_nDiscard);
    Put32(e.m_nFlags);
    Put32(e.m_nLine);
    if (const auto* tag = AsTag(&e)) {
      Put8('T');
      for (char c : tag->m_szName) Put8((BYTE)c);
      PutDouble(tag->m_dValue);
      if (const ToolRecord* tool = tag->m_pTool) {
        Put32(tool->m_nKind);
        PutDouble(tool->m_dSize1);
        PutDouble(tool->m_dDiameter);
        PutDouble(tool->m_dSize3);
        PutDouble(tool->m_dSize4);
        Md5Update(&m_md5, tool->m_szName, strnlen(tool->m_szName, sizeof tool->m_szName));
      }
    } else if (const auto* move = AsMove(&e)) {
      Put8('M');
      Put8(move->m_byAxes);
      Put32(move->m_nTagStart);
      PutDouble(AsArc(&e) ? AsArc(&e)->m_dRadius : x.m_dRadius);
      PutDouble(x.m_dAngle);
      PutDouble(x.m_dDeviation);
      PutDouble(x.m_dMark);
      PutVec(move->m_vEnd);
      if (const auto* arc = AsArc(&e)) {
        Put8('A');
        PutVec(arc->m_vCenter);
      }
    } else {
      Put8('C');
    }
  }

  Md5Context m_md5;
};

struct CancelAfter : CProgressSink {
  explicit CancelAfter(int lines) : left(lines) {}
  void SetProgress(int, int) override {}
  BOOL IsCanceled() override { return --left < 0; }
  int left;
};

// "rand" and "srand" of the random programs: the same sequence for every run.
BOOL FixedSeed(double, CString* text) {
  *text = "1234";
  return TRUE;
}

class ElementDigestTest : public EnglishAppFolderTest {
 protected:
  void SetUp() override {
    EnglishAppFolderTest::SetUp();
    m_oldSeedHook = SetRandomSeedHook(FixedSeed);
  }
  void TearDown() override {
    SetRandomSeedHook(m_oldSeedHook);
    EnglishAppFolderTest::TearDown();
  }

  // Load and optimiser digests of one file, with the load's result.
  struct Digests {
    std::string loaded, optimized;
  };
  Digests LoadAndOptimize(const CString& path, CProgressSink* progress = nullptr) {
    CPathOptimizer program;
    ElementDigest loaded, optimized;
    interp_srand(1);
    loaded.Put8(program.LoadFromNCFile(progress, path, Vec3(1, 1, 1)) ? 1 : 0);
    loaded.Add(program);
    optimized.Put8(program.Optimize(nullptr, nullptr) ? 1 : 0);
    optimized.Add(program);
    return {loaded.Hex(), optimized.Hex()};
  }

  testing_support::MessageBoxRecorder m_boxes;
  RandomSeedHook m_oldSeedHook = nullptr;
};

struct Expected {
  const char* file;
  const char* loaded;
  const char* optimized;
};

#ifdef _WIN32
const Expected kGenerated[] = {
    {"relief.nc", "977b1e9680f5e6662d24361843981107", "605427f121e2ad10292bcb66c13f485b"},
    {"contour.nc", "ac05303ca468bb6abbfe4ff54b722169", "215e584018fbae30811e7898fa4da87f"},
    {"cycles.nc", "b180ad941b640fb2996484209c3e413b", "0aad1160229c8c57989022aab2a1854b"},
    {"plot.plt", "ec5a3fbb2e62f5385951b210ee2c3d63", "eb63811596ee007ba728019883928065"},
    {"cam.cf", "e04045ce3d801dce3c4c4fcfecda8814", "4b395a06e1229cdcd4c1f523a7a0e6e7"},
};
const Expected kRandom = {"random", "ea9192c10860dff2122ea11d2e36525d", "fc5474bad5411fea5cc1e52e4f9a4199"};
#else
const Expected kGenerated[] = {
    {"relief.nc", "977b1e9680f5e6662d24361843981107", "48769ee2887e924fc2af28a21e0b816f"},
    {"contour.nc", "5108c8049af4a0f31ee4795289c5093b", "ed3bf4e05408eb0661ff838949baa91d"},
    {"cycles.nc", "b180ad941b640fb2996484209c3e413b", "023a846691b5a226591a5857d83633c5"},
    {"plot.plt", "ec5a3fbb2e62f5385951b210ee2c3d63", "2edaac6248ef1d04f142d002c24bda46"},
    {"cam.cf", "e04045ce3d801dce3c4c4fcfecda8814", "734bb97216ff91942c3d61ed7939c74f"},
};
const Expected kRandom = {"random", "73e914aee9c2aef9fb79f8e53839b597", "1cd4fac1ab300a6ef33d5af505498ce9"};
#endif

TEST_F(ElementDigestTest, GeneratedPrograms) {
  for (const Expected& e : kGenerated) {
    SCOPED_TRACE(e.file);
    CString path = GetAppFolder() + "digest-data\\" + e.file;  // generated beside the test program
    if (!platform::PathExists(path)) {
      // Only the G-code and HPGL inputs may be missing (no bench data generator).
      EXPECT_STRNE("cam.cf", e.file);
      continue;
    }
    Digests d = LoadAndOptimize(path);
    EXPECT_EQ(e.loaded, d.loaded);
    EXPECT_EQ(e.optimized, d.optimized);
    m_boxes.Clear();
  }
}

TEST_F(ElementDigestTest, InterpreterRandomPrograms) {
  interp_testing::RandomGCodeGenerator gen(24u);
  CString path = m_dir / "random.nc";
  ElementDigest loaded, optimized;
  for (int run = 0; run < 400; run++) {
    ASSERT_TRUE(testing_support::WriteFileBytes(path, gen.Program()));
    CancelAfter cancel(3000);  // loops without end are cut short
    Digests d = LoadAndOptimize(path, &cancel);
    loaded.PutText(d.loaded);
    optimized.PutText(d.optimized);
    m_boxes.Clear();
  }
  EXPECT_EQ(kRandom.loaded, loaded.Hex());
  EXPECT_EQ(kRandom.optimized, optimized.Hex());
}

}  // namespace
