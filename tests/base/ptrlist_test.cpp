#include "base/BASE_PtrList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> g_disposed;

struct Item {
    int id;
    explicit Item(int i) : id(i) {}
    ~Item() {
        if (id >= 0) g_disposed.push_back(id + 1000);
    }
};

void disposeRecord(Item* it) {
    g_disposed.push_back(it->id);
    it->id = -1;  // already recorded
    delete it;
}

struct PtrList : ::testing::Test {
    BASE_PtrList<Item> list;
    void SetUp() override {
        g_disposed.clear();
        for (int i = 0; i < 5; i++) list.Add(new Item(i));
    }
    void TearDown() override { list.Empty(true); }
    std::vector<int> ids() const {
        std::vector<int> v;
        for (int i = 0; i < list.GetSize(); i++) v.push_back(list.Get(i)->id);
        return v;
    }
};

TEST_F(PtrList, DeleteMovesLaterItemsDownAndKeepsMemory) {
    int alloc = list.GetHeapBuf().GetAllocSize();
    list.Delete(1, true, disposeRecord);
    EXPECT_EQ(ids(), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(g_disposed, (std::vector<int>{1}));
    list.Delete(0, true);  // the type's own destruction
    EXPECT_EQ(g_disposed, (std::vector<int>{1, 1000}));
    EXPECT_EQ(ids(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(list.GetHeapBuf().GetAllocSize(), alloc);
    EXPECT_EQ(list.GetHeapBuf().GetSize(), 3 * int(sizeof(Item*)));
}

TEST_F(PtrList, DeleteOutsideDoesNothing) {
    list.Delete(5, true, disposeRecord);
    list.Delete(-1, true, disposeRecord);
    EXPECT_EQ(list.GetSize(), 5);
    EXPECT_TRUE(g_disposed.empty());
}

TEST_F(PtrList, DeleteWithoutDisposalLeavesItemAlive) {
    Item* keep = list.Get(2);
    list.Delete(2);
    EXPECT_TRUE(g_disposed.empty());
    EXPECT_EQ(list.Find(keep), -1);
    delete keep;
}

TEST_F(PtrList, EmptyDisposesLastToFirst) {
    std::vector<int> sizesSeen;
    static BASE_PtrList<Item>* s_list;
    static std::vector<int>* s_sizes;
    s_list = &list;
    s_sizes = &sizesSeen;
    int alloc = list.GetHeapBuf().GetAllocSize();
    list.Empty(true, [](Item* it) {
        s_sizes->push_back(s_list->GetSize());
        disposeRecord(it);
    });
    EXPECT_EQ(g_disposed, (std::vector<int>{4, 3, 2, 1, 0}));
    // The list shrinks by one after each disposal.
    EXPECT_EQ(sizesSeen, (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_EQ(list.GetHeapBuf().GetAllocSize(), alloc);
}

TEST_F(PtrList, EmptyWithTypeDestruction) {
    list.Empty(true);
    EXPECT_EQ(g_disposed, (std::vector<int>{1004, 1003, 1002, 1001, 1000}));
}

TEST_F(PtrList, EmptyWithoutDisposal) {
    std::vector<Item*> held(list.GetList(), list.GetList() + list.GetSize());
    list.Empty();
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_TRUE(g_disposed.empty());
    for (Item* it : held) delete it;
}

TEST_F(PtrList, InsertFindSetDeletePtr) {
    Item* extra = list.Insert(2, new Item(9));
    EXPECT_EQ(ids(), (std::vector<int>{0, 1, 9, 2, 3, 4}));
    EXPECT_EQ(list.Find(extra), 2);
    EXPECT_EQ(list.Get(6), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    Item* old = list.Get(0);
    EXPECT_TRUE(list.Set(0, new Item(7)));
    EXPECT_FALSE(list.Set(6, nullptr));
    delete old;
    g_disposed.clear();
    EXPECT_TRUE(list.DeletePtr(extra, true, disposeRecord));
    EXPECT_FALSE(list.DeletePtr(extra));
    EXPECT_EQ(ids(), (std::vector<int>{7, 1, 2, 3, 4}));
}

TEST(PtrListVoid, NeedsAFunctionToDispose) {
    BASE_PtrList<void> list;
    static int freed;
    freed = 0;
    list.Add(new std::string("a"));
    list.Add(new std::string("b"));
    list.Empty(true, [](void* p) {
        delete static_cast<std::string*>(p);
        freed++;
    });
    EXPECT_EQ(freed, 2);
}

}  // namespace
