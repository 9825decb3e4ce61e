#include "foundation/archive/NSKeyedArchiver.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two small record classes shaped like the application's: required texts, optional numbers, a colour,
// data and a nested list of objects.
struct Child {
    std::string name;
    static std::string archiveClassName() { return "Child"; }
    void encodeWithCoder(NSKeyedArchiver& coder) const { coder.encodeObject(name, "name"); }
    static std::shared_ptr<Child> initWithCoder(NSKeyedUnarchiver& coder) {
        auto name = coder.decodeString("name");
        if (!name) return nullptr;
        return std::make_shared<Child>(Child{*name});
    }
};

struct Member {
    std::int64_t id = 0;
    std::string fullName;
    std::optional<std::int64_t> code;
    std::optional<ArchivedColor> color;
    double weight = 0;
    bool parent = false;
    Data picture;
    std::vector<std::int64_t> babyIds;
    std::vector<std::shared_ptr<Child>> children;

    static std::string archiveClassName() { return "Member"; }
    void encodeWithCoder(NSKeyedArchiver& coder) const {
        coder.encodeInteger(id, "userId");
        coder.encodeObject(fullName, "fullName");
        coder.encodeObject(code, "code");
        coder.encodeObject(color, "backgroundColor");
        coder.encodeDouble(weight, "weight");
        coder.encodeBool(parent, "isParent");
        coder.encodeObject(picture, "picture");
        coder.encodeObject(babyIds, "babyIds");
        coder.encodeObject(children, "children");
    }
    static std::shared_ptr<Member> initWithCoder(NSKeyedUnarchiver& coder) {
        auto member = std::make_shared<Member>();
        member->id = coder.decodeIntegerForKey("userId");
        auto name = coder.decodeString("fullName");
        if (!name) return nullptr;
        member->fullName = *name;
        member->code = coder.decodeIntegerNumber("code");
        member->color = coder.decodeColor("backgroundColor");
        member->weight = coder.decodeDoubleForKey("weight");
        member->parent = coder.decodeBoolForKey("isParent");
        member->picture = coder.decodeData("picture").value_or(Data{});
        member->babyIds =
            coder.decodeObject<std::vector<std::int64_t>>("babyIds").value_or(std::vector<std::int64_t>{});
        member->children = coder.decodeObject<std::vector<std::shared_ptr<Child>>>("children")
                               .value_or(std::vector<std::shared_ptr<Child>>{});
        return member;
    }
};

// Same keys as Member, another class.
struct Baby : Member {
    static std::string archiveClassName() { return "Baby"; }
    static std::shared_ptr<Baby> initWithCoder(NSKeyedUnarchiver&) { return std::make_shared<Baby>(); }
};

Member sample() {
    Member member;
    member.id = 42;
    member.fullName = "Zoë Ndlovu";
    member.code = 7;
    member.color = ArchivedColor{134 / 255.0, 197 / 255.0, 244 / 255.0, 1.0};
    member.weight = 3.0;
    member.parent = true;
    member.picture = Data{0, 255, '"', '\\'};
    member.babyIds = {15, 16};
    member.children = {std::make_shared<Child>(Child{"Ada"}), std::make_shared<Child>(Child{"Ben"})};
    return member;
}

TEST(KeyedArchive, ObjectRoundTripsWithEveryKindOfValue) {
    const Member original = sample();
    const auto restored = NSKeyedUnarchiver::unarchiveObjectWithData<Member>(
        NSKeyedArchiver::archivedDataWithRootObject(original));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->id, 42);
    EXPECT_EQ(restored->fullName, "Zoë Ndlovu");
    EXPECT_EQ(restored->code, 7);
    EXPECT_EQ(restored->color, original.color);
    EXPECT_DOUBLE_EQ(restored->weight, 3.0);
    EXPECT_TRUE(restored->parent);
    EXPECT_EQ(restored->picture, original.picture);
    EXPECT_EQ(restored->babyIds, original.babyIds);
    ASSERT_EQ(restored->children.size(), 2u);
    EXPECT_EQ(restored->children[1]->name, "Ben");
}

TEST(KeyedArchive, NoneIsWrittenAsNoKeyAndReadBackAsNone) {
    Member member = sample();
    member.code.reset();
    member.color.reset();
    const Data data = NSKeyedArchiver::archivedDataWithRootObject(member);
    const auto restored = NSKeyedUnarchiver::unarchiveObjectWithData<Member>(data);
    ASSERT_TRUE(restored);
    EXPECT_FALSE(restored->code);
    EXPECT_FALSE(restored->color);
    EXPECT_EQ(std::string(data.begin(), data.end()).find("\"code\""), std::string::npos);
}

TEST(KeyedArchive, ArchiveOfOneClassReadAsAnotherGivesNone) {
    const Data member = NSKeyedArchiver::archivedDataWithRootObject(sample());
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObjectWithData<Baby>(member));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObjectWithData<Child>(member));
    // A list is not an object, and an object is not a list.
    const Data list = NSKeyedArchiver::archivedDataWithRootObject(std::vector<Member>{sample()});
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObjectWithData<Member>(list));
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<Member>>>(member));
    const auto members =
        NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<Member>>>(list);
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 1u);
    EXPECT_EQ((*members)[0]->fullName, "Zoë Ndlovu");
    EXPECT_FALSE(NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<Baby>>>(list));
}

TEST(KeyedArchive, DamagedBytesGiveNone) {
    const Data whole = NSKeyedArchiver::archivedDataWithRootObject(sample());
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, whole.size() / 2, whole.size() - 1}) {
        const Data cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(NSKeyedUnarchiver::unarchiveObjectWithData<Member>(cut)) << length;
    }
    const std::string foreign[] = {"{}", "null", R"({"$archive":"other","$version":1,"$top":{}})",
                                   R"({"$archive":"cradleway-keyed-archive","$version":2,"$top":{}})",
                                   std::string("\xff\xfe\x00garbage", 10)};
    for (const auto& text : foreign) {
        NSKeyedUnarchiver reader(Data(text.begin(), text.end()));
        EXPECT_FALSE(reader.isValid()) << text;
        EXPECT_FALSE(reader.containsValueForKey("root"));
        EXPECT_EQ(reader.decodeIntegerForKey("root"), 0);
    }
}

TEST(KeyedArchive, ValuesOfTheWrongKindAreNone) {
    NSKeyedArchiver archiver;
    archiver.encodeDouble(2.0, "double");
    archiver.encodeObject("12", "text");
    archiver.encodeObject(std::vector<std::int64_t>{1, 2}, "ints");
    archiver.encodeObject(std::vector<Child>{Child{"Ada"}}, "children");
    NSKeyedUnarchiver reader(archiver.encodedData());
    ASSERT_TRUE(reader.isValid());
    EXPECT_FALSE(reader.decodeIntegerNumber("double")); // a double is not an integer number
    EXPECT_EQ(reader.decodeIntegerForKey("double"), 2);
    EXPECT_FALSE(reader.decodeIntegerNumber("text"));
    EXPECT_FALSE(reader.decodeData("text"));
    EXPECT_FALSE(reader.decodeColor("text"));
    EXPECT_FALSE(reader.decodeString("ints"));
    EXPECT_FALSE(reader.decodeObjectOfClass<Child>("children"));
    EXPECT_FALSE(reader.decodeObject<std::vector<std::string>>("ints"));
    EXPECT_FALSE(reader.decodeObject<std::vector<std::shared_ptr<Member>>>("children"));
}

TEST(KeyedArchive, ReservedLookingKeysAndOddDoublesSurvive) {
    NSKeyedArchiver archiver;
    archiver.encodeObject("mine", "$class");
    archiver.encodeDouble(INFINITY, "infinity");
    archiver.encodeObject(ArchivedColor{NAN, 0, 1, 0.5}, "color");
    NSKeyedUnarchiver reader(archiver.encodedData());
    EXPECT_EQ(reader.decodeString("$class"), "mine");
    EXPECT_EQ(reader.decodeDoubleForKey("infinity"), INFINITY);
    const auto color = reader.decodeColor("color");
    ASSERT_TRUE(color);
    EXPECT_TRUE(std::isnan(color->red));
    EXPECT_DOUBLE_EQ(color->alpha, 0.5);
}

TEST(KeyedArchive, ArchiverFinishedAtOnceGivesAnEmptyValidArchive) {
    NSKeyedArchiver archiver;
    archiver.finishEncoding();
    archiver.encodeInteger(1, "late"); // ignored after the end
    NSKeyedUnarchiver reader(archiver.encodedData());
    EXPECT_TRUE(reader.isValid());
    EXPECT_FALSE(reader.containsValueForKey("late"));
    EXPECT_FALSE(reader.decodeBoolForKey("anything"));
}

} // namespace

namespace {

// Something made "from a coder", as toolbars and views in interface files are.
struct FromCoder {
    explicit FromCoder(const NSCoder& coder)
        : height(coder.containsValueForKey("height") ? coder.decodeDoubleForKey("height") : 44),
          title(coder.decodeString("title").value_or("untitled")) {}
    double height;
    std::string title;
};

TEST(KeyedArchive, TheEmptyCoderHoldsNothingAndObjectsMadeFromItTakeTheirDefaults) {
    const NSKeyedUnarchiver empty = NSCoder::empty();
    EXPECT_TRUE(empty.isValid());
    EXPECT_FALSE(empty.containsValueForKey("root"));
    EXPECT_EQ(empty.decodeIntegerForKey("tag"), 0);
    FromCoder made(NSCoder::empty());
    EXPECT_EQ(made.height, 44);
    EXPECT_EQ(made.title, "untitled");

    // Any keyed reader serves as a coder.
    NSKeyedArchiver archiver;
    archiver.encodeDouble(30, "height");
    archiver.encodeObject("Done", "title");
    FromCoder filled(NSKeyedUnarchiver(archiver.encodedData()));
    EXPECT_EQ(filled.height, 30);
    EXPECT_EQ(filled.title, "Done");
}

} // namespace
