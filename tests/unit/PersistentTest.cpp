// Class references, assignment errors, counted objects and the unit start-up list.
#include "toolkit/core/Persistent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/ExpectError.h"
#include "toolkit/core/Components.h"
#include "toolkit/core/InterfacedObject.h"
#include "toolkit/core/ModuleSteps.h"
#include "toolkit/graphics/Bitmap.h"
#include "toolkit/graphics/Picture.h"

TEST(Persistent, ClassReferencesNameTestAndMake)
{
    struct Case {
        const TClass& cls;
        const wchar_t* name;
        const TClass& base;
        bool canCreate;
    };
    const Case cases[] = {
        {TBitmap::Class, L"TBitmap", TGraphic::Class, true},
        {TGraphic::Class, L"TGraphic", TPersistent::Class, false},
        {TBrush::Class, L"TBrush", TGraphicsTool::Class, true},
        {TComponent::Class, L"TComponent", TPersistent::Class, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        EXPECT_STREQ(c.cls.Name(), c.name);
        EXPECT_EQ(c.cls.Base(), &c.base);
        EXPECT_TRUE(c.cls.InheritsFrom(c.cls));
        EXPECT_TRUE(c.cls.InheritsFrom(TPersistent::Class));
        EXPECT_FALSE(TPersistent::Class.InheritsFrom(c.cls));
        EXPECT_EQ(c.cls.CanCreate(), c.canCreate);
        if (c.canCreate) {
            std::unique_ptr<TPersistent> made(c.cls.Create());
            EXPECT_EQ(&made->ClassType(), &c.cls) << "a new instance of the very class";
        }
    }
    TBitmap bitmap;
    TPersistent* asPersistent = &bitmap;
    EXPECT_EQ(As<TGraphic>(asPersistent), &bitmap);
    EXPECT_EQ(As<TPicture>(asPersistent), nullptr);
    EXPECT_EQ(As<TGraphic>(static_cast<TPersistent*>(nullptr)), nullptr);
}

TEST(Persistent, AssigningWhatTheDestinationDoesNotKnowNamesBothClasses)
{
    TPicture picture;
    TBrush brush;
    EXPECT_TRUE(FailsWith<EAssignError>([&] { brush.CopyIn(&picture); }, L"TPicture を TBrush に代入することはできません"));
    TComponent component(nullptr);
    EXPECT_TRUE(FailsWith<EAssignError>([&] { component.CopyIn(nullptr); }, L"null を TComponent に代入することはできません"));
    EXPECT_TRUE(FailsWith<EAssignError>([&] { component.CopyIn(&brush); }, L"TBrush を TComponent に代入することはできません"));
}

namespace {

struct ISample : IUnknown {
    static constexpr GUID Iid = {0x2D47D5A1, 0x88E0, 0x11D2, {0x93, 0xA4, 0x00, 0x60, 0x97, 0x6E, 0x95, 0x10}};
    virtual int STDMETHODCALLTYPE Value() = 0;
};

class TSampleHolder : public TInterfacedObject<ISample> {
public:
    explicit TSampleHolder(bool* freed) : freed_(freed) {}
    ~TSampleHolder() override { *freed_ = true; }
    int STDMETHODCALLTYPE Value() override { return 42; }

private:
    bool* freed_;
};

}  // namespace

TEST(InterfacedObject, CountsReferencesAndAnswersForItsInterfaces)
{
    bool freed = false;
    {
        TInterfaceRef<ISample> first(new TSampleHolder(&freed));
        TInterfaceRef<ISample> second = first;
        void* found = nullptr;
        ASSERT_EQ(first->QueryInterface(kIID_IUnknown, &found), S_OK);
        static_cast<IUnknown*>(found)->Release();
        ASSERT_EQ(first->QueryInterface(ISample::Iid, &found), S_OK);
        EXPECT_EQ(static_cast<ISample*>(found)->Value(), 42);
        EXPECT_EQ(static_cast<ISample*>(found)->Release(), 2u) << "first and second hold it";
        EXPECT_EQ(first->QueryInterface(GUID{1, 2, 3, {}}, &found), E_NOINTERFACE);
        EXPECT_EQ(found, nullptr);
        second.reset();
        EXPECT_FALSE(freed);
    }
    EXPECT_TRUE(freed) << "the last reference frees the object";
}

namespace {

std::vector<std::string> stepLog;
bool failSecond = false;

void StartA() { stepLog.push_back("start A"); }
void EndA() { stepLog.push_back("end A"); }
void StartB()
{
    if (failSecond)
        throw EInvalidOperation(L"B");
    stepLog.push_back("start B");
}
void EndB() { stepLog.push_back("end B"); }
void EndC() { stepLog.push_back("end C"); }

constexpr TModuleSteps kSteps[] = {{L"A", &StartA, &EndA}, {L"B", &StartB, &EndB}, {L"C", nullptr, &EndC}};

}  // namespace

TEST(ModuleSteps, StartInListOrderAndEndInReverse)
{
    stepLog.clear();
    failSecond = false;
    {
        TRunningModules modules(kSteps);
        EXPECT_EQ(stepLog, (std::vector<std::string>{"start A", "start B"}));
    }
    EXPECT_EQ(stepLog, (std::vector<std::string>{"start A", "start B", "end C", "end B", "end A"}));

    stepLog.clear();
    failSecond = true;
    EXPECT_THROW(TRunningModules modules(kSteps), EInvalidOperation);
    EXPECT_EQ(stepLog, (std::vector<std::string>{"start A", "end A"})) << "only what started is ended";
}
