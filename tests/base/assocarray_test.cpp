#include "base/BASE_AssocArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

int g_keysFreed = 0;
std::vector<int> g_valuesFreed;

void countKey(const char* k) {
    g_keysFreed++;
    free(const_cast<char*>(k));
}
void recordValue(int v) { g_valuesFreed.push_back(v); }

int cmpInt(const int* a, const int* b) { return *a < *b ? -1 : *a > *b ? 1 : 0; }

struct Counting : BASE_AssocArrayImpl<const char*, int> {
    explicit Counting(bool caseSensitive)
        : BASE_AssocArrayImpl(caseSensitive ? BASE_StringKeyedArray<int>::cmpstr : BASE_StringKeyedArray<int>::cmpistr,
                              BASE_StringKeyedArray<int>::dupstr, countKey, recordValue) {}
};

struct KeyedArray : ::testing::Test {
    void SetUp() override {
        g_keysFreed = 0;
        g_valuesFreed.clear();
    }
};

std::vector<std::string> keysOf(const BASE_AssocArrayImpl<const char*, int>& a) {
    std::vector<std::string> v;
    const char* k;
    for (int i = 0; a.Enumerate(i, &k); i++) v.push_back(k);
    return v;
}

TEST_F(KeyedArray, InsertKeepsKeyOrderAndCopiesKeys) {
    Counting a(true);
    char key[8] = "delta";
    const char* const* stored = nullptr;
    EXPECT_TRUE(a.Insert(key, 4, &stored));
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(*stored, key);  // a copy, not the caller's buffer
    key[0] = 'x';
    for (const char* k : {"bravo", "echo", "alpha", "charlie"}) a.Insert(k, k[0] - 'a');
    EXPECT_EQ(keysOf(a), (std::vector<std::string>{"alpha", "bravo", "charlie", "delta", "echo"}));
    EXPECT_EQ(a.Get("delta", -1), 4);
    EXPECT_EQ(a.Get("xelta", -1), -1);
    EXPECT_EQ(a.GetIdx("charlie"), 2);
    EXPECT_EQ(a.GetPtr("zulu"), nullptr);
    EXPECT_TRUE(a.Exists("alpha"));
}

TEST_F(KeyedArray, ReplacingDisposesTheOldValueOnce) {
    Counting a(true);
    a.Insert("k", 1);
    const char* const* first = nullptr;
    a.GetPtr("k", &first);
    const char* const* again = nullptr;
    a.Insert("k", 2, &again);
    EXPECT_EQ(a.GetSize(), 1);
    EXPECT_EQ(g_valuesFreed, (std::vector<int>{1}));
    EXPECT_EQ(g_keysFreed, 0);
    EXPECT_EQ(*again, *first);  // the stored key stays
    EXPECT_EQ(a.Get("k"), 2);
}

TEST_F(KeyedArray, CaseRules) {
    Counting sensitive(true), insensitive(false);
    for (auto* a : {&sensitive, &insensitive}) {
        a->Insert("Name", 1);
        a->Insert("name", 2);
    }
    EXPECT_EQ(sensitive.GetSize(), 2);
    EXPECT_EQ(sensitive.Get("NAME", -1), -1);
    EXPECT_EQ(insensitive.GetSize(), 1);
    EXPECT_EQ(insensitive.Get("NAME", -1), 2);
    EXPECT_EQ(keysOf(insensitive), (std::vector<std::string>{"Name"}));
}

TEST_F(KeyedArray, DeleteDisposesKeyAndValue) {
    Counting a(true);
    for (const char* k : {"a", "b", "c"}) a.Insert(k, k[0]);
    a.Delete("zz");
    EXPECT_EQ(a.GetSize(), 3);
    EXPECT_EQ(g_keysFreed, 0);
    EXPECT_TRUE(g_valuesFreed.empty());
    a.Delete("b");
    EXPECT_EQ(keysOf(a), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(g_keysFreed, 1);
    EXPECT_EQ(g_valuesFreed, (std::vector<int>{'b'}));
    EXPECT_EQ(a.Get("c"), 'c');
}

TEST_F(KeyedArray, DestructionDisposesEveryPairInOrder) {
    {
        Counting a(true);
        for (const char* k : {"c", "a", "b"}) a.Insert(k, k[0]);
    }
    EXPECT_EQ(g_keysFreed, 3);
    EXPECT_EQ(g_valuesFreed, (std::vector<int>{'a', 'b', 'c'}));
}

TEST_F(KeyedArray, ResortDropsDuplicates) {
    Counting a(false);
    a.AddUnsorted("b", 1);
    a.AddUnsorted("a", 2);
    a.AddUnsorted("B", 3);
    a.Resort();
    ASSERT_EQ(a.GetSize(), 2);
    auto keys = keysOf(a);
    EXPECT_EQ(keys[0], "a");
    EXPECT_TRUE(keys[1] == "b" || keys[1] == "B");
    EXPECT_EQ(g_keysFreed, 1);
    ASSERT_EQ(g_valuesFreed.size(), 1u);
    EXPECT_TRUE(g_valuesFreed[0] == 1 || g_valuesFreed[0] == 3);
    EXPECT_EQ(a.Get("a"), 2);
}

TEST_F(KeyedArray, ManyKeysStaySorted) {
    BASE_AssocArray<int, int> a(cmpInt);
    std::vector<int> keys(3000);
    for (int i = 0; i < 3000; i++) keys[i] = i * 7;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
    for (int k : keys) ASSERT_TRUE(a.Insert(k, k + 1));
    EXPECT_EQ(a.GetSize(), 3000);
    int prev = -1, k = 0;
    for (int i = 0; a.Enumerate(i, &k); i++) {
        ASSERT_GT(k, prev);
        prev = k;
    }
    for (int i = 0; i < 3000; i += 5) {
        EXPECT_EQ(a.Get(i * 7, -1), i * 7 + 1);
        EXPECT_EQ(a.Get(i * 7 + 1, -1), -1);
    }
    for (int i = 0; i < 3000; i += 2) a.Delete(i * 7);
    EXPECT_EQ(a.GetSize(), 1500);
    EXPECT_FALSE(a.Exists(0));
    EXPECT_TRUE(a.Exists(7));
    a.Resort();  // already sorted and unique: nothing changes
    EXPECT_EQ(a.GetSize(), 1500);
}

int g_failAllocs = 0;
void* failingRealloc(void* p, size_t n) {
    if (g_failAllocs > 0) {
        g_failAllocs--;
        return nullptr;
    }
    return realloc(p, n);
}
void* failingMalloc(size_t n) {
    if (g_failAllocs > 0) {
        g_failAllocs--;
        return nullptr;
    }
    return malloc(n);
}

TEST_F(KeyedArray, InsertFailsCleanlyWhenStorageCannotGrow) {
    Counting a(true);
    base_testing::SetHeapBufAllocator(failingRealloc, failingMalloc);
    g_failAllocs = 2;
    const char* const* stored = reinterpret_cast<const char* const*>(&a);
    EXPECT_FALSE(a.Insert("a", 1, &stored));
    base_testing::SetHeapBufAllocator(nullptr, nullptr);
    EXPECT_EQ(stored, nullptr);
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(g_keysFreed, 0);  // the key was never copied
    EXPECT_TRUE(a.Insert("a", 1));
}

TEST(StringKeyedArray, NestedTablesAndOwnedValues) {
    using Keys = BASE_StringKeyedArray<char*>;
    BASE_StringKeyedArray<Keys*> sections(false, Keys::deleteStringKeyedArray);
    auto* keys = new Keys(false, Keys::freecharptr);
    keys->Insert("Size", strdup("normal"));
    keys->Insert("size", strdup("large"));  // same key: old value freed
    sections.Insert("Settings", keys);
    Keys* found = sections.Get("SETTINGS", nullptr);
    ASSERT_EQ(found, keys);
    EXPECT_STREQ(found->Get("SIZE", nullptr), "large");
    sections.Insert(nullptr, nullptr);  // a null key reads as ""
    EXPECT_TRUE(sections.Exists(""));
    Keys::deleteStringKeyedArray(nullptr);
    // The sections' destructor frees the key table and its strings (leak
    // checking catches a miss).
}

}  // namespace
