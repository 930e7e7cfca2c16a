// Profiles: the built-in ones and the file form.
#include "SimTestSupport.h"
#include "pinpad/VexoAbecsTables.h"
#include <fstream>

namespace kestrel::sim::test {
namespace {

using namespace vexo;

TEST(SimProfile, BuiltInsDescribeTheirDisplayAndMedia) {
    const Profile graphic = Profile::Load("graphic");
    EXPECT_EQ(graphic.Item(PP_DSPTXTSZ), "0816");
    EXPECT_EQ(graphic.Item(PP_DSPGRSZ), "02400320");
    EXPECT_EQ(graphic.Item(PP_MFSUP), "110");
    EXPECT_EQ(graphic.Item(PP_SPECVER), "2.12");
    EXPECT_NE(graphic.Item(PP_MODEL).find(';'), std::string::npos);
    const Profile text = Profile::Load("text");
    EXPECT_EQ(text.Item(PP_DSPTXTSZ), "0216");
    EXPECT_FALSE(text.HasMedia());
    EXPECT_EQ(Profile::Load("graphic-gif").Item(PP_MFSUP), "111");
    const auto ids = graphic.ItemIds();
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_NE(std::find(ids.begin(), ids.end(), PP_CAPAB), ids.end());
}

TEST(SimProfile, FileSetsFieldsAndItemsOverABase) {
    const std::string path = ::testing::TempDir() + "kestrel-sim-profile.txt";
    std::ofstream(path)
        << "# a small mono PIN pad\nbase = text\nname = mono\ndisplay = mono\n"
           "pixel_width = 128\npixel_height = 64\ntext_rows = 4\nmedia_formats = png gif\n"
           "media_memory = 64K\nPP_SERNUM = ABC123\nopen_commands = OPN GIX\ndefault_timeout = 30\n";
    const Profile p = Profile::Load(path);
    EXPECT_EQ(p.Name, "mono");
    EXPECT_EQ(p.Item(PP_SERNUM), "ABC123");
    EXPECT_EQ(p.Item(PP_CAPAB), "0100000000");
    EXPECT_EQ(p.Item(PP_DSPGRSZ), "00640128");
    EXPECT_EQ(p.Item(PP_DSPTXTSZ), "0416");
    EXPECT_EQ(p.Item(PP_MFSUP), "101");
    EXPECT_EQ(p.MediaMemory, 65536u);
    EXPECT_EQ(p.OpenCommands, (std::set<std::string>{"OPN", "GIX"}));
    EXPECT_EQ(p.DefaultTimeout, 30);
    EXPECT_EQ(p.Item(PP_MODEL), Profile::TextOnly().Item(PP_MODEL));
}

TEST(SimProfile, BadLinesAreNamed) {
    for (const auto& [text, line] :
         std::vector<std::pair<std::string, std::string>>{{"name = x\nbogus\n", "line 2"},
                                                          {"PP_NOTHING = 1\n", "line 1"},
                                                          {"text_rows = many\n", "line 1"},
                                                          {"\n\nmedia_formats = bmp\n", "line 3"},
                                                          {"display = hologram\n", "line 1"}}) {
        try {
            Profile::Parse(text);
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(line), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(Profile::Parse("base = nothing\n"), std::runtime_error);
    EXPECT_THROW(Profile::Load("/nonexistent/profile"), std::runtime_error);
}

TEST(SimProfile, ExplicitItemOverridesTheDerivedOne) {
    Profile p = Profile::Graphic();
    p.Items[PP_DSPTXTSZ] = "0220";
    PinPadModel model(p);
    EXPECT_EQ(Exec(model, "GIX" + Block(TLV(SPE_IDLIST, Hex("80 20")))),
              "GIX000" + Block(TLV(PP_DSPTXTSZ, "0220")));
    EXPECT_EQ(model.Display().Lines.size(), 8u);
}

} // namespace
} // namespace kestrel::sim::test
