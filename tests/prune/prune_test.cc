#include "prune/prune.h"

#include <gtest/gtest.h>

#include "condense/condense.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "support/doc_gen.h"
#include "support/parse.h"
#include "value/utf8.h"

namespace tersolite {
namespace {

using testing::parse;

Options indented(Options o, uint64_t width) {
  o.indent = width;
  return o;
}

// Prunes a document as one shrink attempt would.
struct Attempt {
  // With `arena`, the document is read into it and measured into it, as
  // requests do.
  explicit Attempt(std::string_view text, Options o = {}, uint64_t width = 0, Arena* arena = nullptr)
      : options(indented(std::move(o), width)),
        doc(arena ? std::move(*json::read_json(text, arena)) : parse(text)),
        request(options),
        ctx(request, arena) {
    request.condense_array = condense_array;
    PathStack path;
    node = measure(ctx.measure_settings(), doc, 0, path, false);
  }

  std::string run(uint64_t budget) {
    PruneResult r = prune(ctx, doc, node, budget, 0);
    std::string text = json::to_json(r.value, ctx.layout.width);
    EXPECT_EQ(char_count(text), r.size) << text;
    EXPECT_TRUE(ctx.path.empty());
    return text;
  }

  Options options;
  Value doc;
  ShrinkRequest request;
  PruneContext ctx;
  SizeNode node;
};

Options with(std::string_view options_json) { return testing::options_of(options_json); }

// The layout every attempt uses is settled with the request: YAML output is
// never indented by fewer than two spaces, JSON exactly as asked.
TEST(ShrinkRequest, SettlesTheLayoutOnce) {
  struct Case {
    Format format;
    uint64_t indent, width;
  };
  for (Case c : {Case{Format::kJson, 0, 0},
                 {Format::kJson, 1, 1},
                 {Format::kJson, 8, 8},
                 {Format::kYaml, 0, 2},
                 {Format::kYaml, 1, 2},
                 {Format::kYaml, 2, 2},
                 {Format::kYaml, 8, 8}}) {
    Options o = indented({}, c.indent);
    ShrinkRequest request(o, c.format, scorer_for(o.field_scorer));
    EXPECT_EQ(c.width, request.layout.width) << c.indent;
    EXPECT_EQ(c.width, output_width(c.format, c.indent)) << c.indent;
  }
  Options o = with(R"({"protect":["a/b","/c"],"arguments":{"q":"the open issues"}})");
  ShrinkRequest request(o);
  EXPECT_EQ(2u, request.patterns.size());
  ASSERT_TRUE(request.query.has_value());
  EXPECT_EQ((std::vector<std::string>{"open", "issue"}), request.query->terms);
  Options stopwords = with(R"({"arguments":["the of"]})");
  EXPECT_FALSE(ShrinkRequest(stopwords).query.has_value());
}

TEST(Prune, KeepsWhatFitsAndCountsNothing) {
  Attempt a(R"({"a":[1,2,{"b":"c"}]})");
  EXPECT_EQ(R"({"a":[1,2,{"b":"c"}]})", a.run(21));
  EXPECT_EQ(0u, a.ctx.stats.keys_omitted + a.ctx.stats.items_omitted + a.ctx.stats.strings_truncated);
}

TEST(Prune, LeavesScalarsAlone) {
  Attempt a("123456789012345678901234567890");
  EXPECT_EQ("123456789012345678901234567890", a.run(5));
}

TEST(Prune, CollapsesAStringAtItsMinimumAndShortensAbove) {
  std::string text = "\"" + std::string(40, 'x') + "\"";
  Attempt at_min(text);
  EXPECT_EQ("\"\xE2\x80\xA6[+40 chars]\"", at_min.run(14));
  EXPECT_EQ(1u, at_min.ctx.stats.strings_truncated);
  Attempt above(text);
  EXPECT_EQ("\"x\xE2\x80\xA6[+39 chars]\"", above.run(15));
  EXPECT_EQ(1u, above.ctx.stats.strings_truncated);
}

TEST(Collapse, ReplacesContainersByTheirMarkers) {
  // [1,2,3] is shorter than its collapsed form, so it is copied unchanged.
  Attempt small("[1,2,3]");
  EXPECT_EQ("[1,2,3]", small.run(3));
  EXPECT_EQ(0u, small.ctx.stats.containers_collapsed);

  Attempt longer(R"(["aaaaaaaaaaaa","bbbbbbbbbbbb","cccccccccccc"])");
  EXPECT_EQ("[\"\xE2\x80\xA6[3 items omitted]\"]", longer.run(10));
  EXPECT_EQ(1u, longer.ctx.stats.containers_collapsed);
  EXPECT_EQ(3u, longer.ctx.stats.items_omitted);

  Attempt object(R"({"a":"aaaaaaaaaaaaaaaaaaaa","b":"bbbbbbbbbbbbbbbbbbbb"})");
  EXPECT_EQ("{\"\xE2\x80\xA6\":\"2 keys omitted\"}", object.run(5));
  EXPECT_EQ(2u, object.ctx.stats.keys_omitted);
}

TEST(Collapse, KeepsMembersHoldingProtectedContent) {
  Attempt a(R"({"a":"aaaaaaaaaaaaaaaaaaaa","b":{"id":"keep me","x":"xxxxxxxxxxxxxxxxxxxx"},"c":[1,2,3,4,5,6,7,8]})",
            with(R"({"protect":["id"]})"));
  EXPECT_EQ("{\"b\":{\"id\":\"keep me\",\"\xE2\x80\xA6\":\"1 keys omitted\"},\"\xE2\x80\xA6\":\"2 keys omitted\"}",
            a.run(5));
  EXPECT_EQ(0u, a.ctx.protected_omitted);
  EXPECT_EQ(3u, a.ctx.stats.keys_omitted);
}

TEST(PruneChildren, SharesSpareRoomSmallestSlackFirst) {
  Options options = indented({}, 0);
  ShrinkRequest request(options);
  PruneContext ctx(request);
  Value text = Value::string(std::string(200, 'x'));
  auto node = [](uint64_t min) {
    SizeNode n;
    n.full = 202;
    n.min = min;
    n.chars = 200;
    return n;
  };
  SizeNode none = node(202);  // slack 0
  SizeNode some = node(197);  // slack 5
  SizeNode lots = node(102);  // slack 100
  std::vector<Child> children = {{&text, &lots, "c"}, {&text, &none, "a"}, {&text, &some, "b"}};
  PrunedChildren out = prune_children(ctx, children, 30, 1);
  // a gets 0 (30/3 capped at 0), b 5 (30/2 capped at 5), c the 25 left.
  EXPECT_EQ(202u + 202u + 127u, out.total);
  EXPECT_EQ(200u, out.values[1].text().size());
  EXPECT_EQ(200u, out.values[2].text().size());
  EXPECT_EQ(127u, json_string_size(out.values[0].text()));
}

TEST(SampleArray, PutsGapMarkersWhereItemsAreMissing) {
  Attempt a(R"([{"a":1},{"a":1},{"a":1},{"b":2},{"a":1},{"a":1},{"a":1},{"a":1},{"a":1},{"c":3}])");
  EXPECT_EQ("[{\"a\":1},\"\xE2\x80\xA6[2 items omitted]\",{\"b\":2},\"\xE2\x80\xA6[5 items omitted]\",{\"c\":3}]",
            a.run(70));
  EXPECT_EQ(1u, a.ctx.stats.arrays_sampled);
  EXPECT_EQ(7u, a.ctx.stats.items_omitted);
}

std::string records(int n, int body) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) {
    s += (i ? "," : "") + std::string("{\"id\":") + std::to_string(i) + ",\"body\":\"" +
         std::string(static_cast<size_t>(body), 'x') + "\"}";
  }
  return s + "]";
}

TEST(SampleArray, KeepsTheLastItemRightAfterTheFirst) {
  Attempt keep(records(10, 40));
  std::string out = keep.run(185);
  EXPECT_EQ(0u, out.find("[{\"id\":0,"));
  EXPECT_NE(std::string::npos, out.find("{\"id\":9,"));
  EXPECT_NE(std::string::npos, out.find("{\"id\":1,\"body\":\"x"));  // item 1 shrunk
  Attempt no_last(records(10, 40), with(R"({"keep_last_item":false})"));
  std::string cut = no_last.run(150);
  EXPECT_EQ(std::string::npos, cut.find("{\"id\":9,"));
  EXPECT_NE(std::string::npos, cut.find("\xE2\x80\xA6[8 items omitted]"));
}

TEST(SampleArray, SamplesShapesAtTheirMinimumWhenNothingFitsWhole) {
  // Ten records of one shape: only item 0 is sampled, whatever max_samples says.
  Attempt one_shape(records(10, 200), with(R"({"max_samples":5})"));
  std::string out = one_shape.run(120);
  EXPECT_EQ(0u, out.find("[{\"id\":0,\"body\":\"x"));
  EXPECT_NE(std::string::npos, out.find(",\"\xE2\x80\xA6[9 items omitted]\"]"));
  // max_samples 0 behaves as 1.
  Attempt zero(
      R"([{"a":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},{"b":"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb"}])",
      with(R"({"max_samples":0})"));
  std::string z = zero.run(60);
  EXPECT_EQ(std::string::npos, z.find("\"b\""));
}

TEST(SampleArray, PromotesOnlyTheFirstSixtyFourShapes) {
  // Items 0..69 each have a shape of their own; only the first 64 jump the
  // queue, so with the last item the order is 0..63, 69, then 64..68.
  std::string doc = "[";
  for (int i = 0; i < 70; ++i) doc += (i ? "," : "") + std::string("{\"k") + std::to_string(i) + "\":1}";
  doc += "]";
  Attempt b(doc);
  uint64_t budget = b.node.full - 1;
  std::string cut = b.run(budget);
  // The gap marker is longer than the items it replaces, so the walk stops
  // before the end of the order: the tail of items 64..68 goes, 69 stays.
  EXPECT_NE(std::string::npos, cut.find("{\"k63\":1}"));
  EXPECT_NE(std::string::npos, cut.find("{\"k69\":1}"));
  EXPECT_EQ(std::string::npos, cut.find("{\"k68\":1}"));
}

TEST(SampleArray, SamplesOneItemOfEachShapeAtItsMinimum) {
  // No item fits whole; two fit at their minimum: the first two shapes are
  // sampled and an item repeating a sampled shape is skipped, not counted.
  std::string big(200, 'x');
  std::string doc = "[{\"a\":\"" + big + "\"},{\"a\":\"" + big + "\"},{\"b\":\"" + big + "\"},{\"c\":\"" + big + "\"}]";
  // Each item's minimum is 22 ({"…":"1 keys omitted"}); items 0 and 2 with
  // their two gap markers take 89, item 3 would need 91.
  Attempt a(doc);
  std::string out = a.run(90);
  EXPECT_EQ(0u, out.find("[{"));
  EXPECT_EQ(std::string::npos, out.find("\"c\""));
  size_t first = out.find("\"\xE2\x80\xA6[1 items omitted]\",{");
  EXPECT_NE(std::string::npos, first) << out;
  EXPECT_NE(std::string::npos, out.find("},\"\xE2\x80\xA6[1 items omitted]\"]")) << out;
  EXPECT_EQ(2u, a.ctx.stats.items_omitted);
}

TEST(SampleArray, KeepsTheNextItemInPartOnlyWithEnoughRoom) {
  // The first item fits whole; the second (full 502) may be kept shortened
  // only when its room reaches min_partial_chars (40) and its minimum.
  std::string doc = "[\"aaaa\",\"" + std::string(500, 'b') + "\",\"cccc\"]";
  Options o = with(R"({"keep_last_item":false})");
  auto room_for = [](uint64_t budget) {
    // [ "aaaa" , <item> , gap ] : 1 + 6 + 1 + item + 1 + 20 + 1
    return budget - 30;
  };
  for (uint64_t budget : {30u + 39u, 30u + 40u}) {
    Attempt a(doc, o);
    std::string out = a.run(budget);
    bool kept = out.find("\"b") != std::string::npos;
    EXPECT_EQ(room_for(budget) >= 40, kept) << out;
  }
}

TEST(SampleArray, ASingleItemIsKeptAtItsMinimumOrCollapses) {
  Attempt fits(R"([{"text":"a long text that does not fit the budget as it stands"}])");
  std::string out = fits.run(40);
  EXPECT_EQ(0u, out.find("[{\"text\":\"a long"));
  Attempt collapses(R"([{"text":"a long text that does not fit the budget as it stands"}])");
  EXPECT_EQ("[\"\xE2\x80\xA6[1 items omitted]\"]", collapses.run(22));
}

TEST(SelectMembers, KeepsTheLongestPrefixWithSample) {
  std::string doc = "{";
  for (int i = 0; i < 10; ++i) doc += (i ? "," : "") + std::string("\"k") + std::to_string(i) + "\":\"vvvvvvvvvv\"";
  doc += "}";
  Attempt a(doc);
  // Three members of 17 characters, their commas and the marker for 7 make 76.
  EXPECT_EQ("{\"k0\":\"vvvvvvvvvv\",\"k1\":\"vvvvvvvvvv\",\"k2\":\"vvvvvvvvvv\",\"\xE2\x80\xA6\":\"7 keys omitted\"}",
            a.run(76));
  EXPECT_EQ(1u, a.ctx.stats.objects_trimmed);
  EXPECT_EQ(7u, a.ctx.stats.keys_omitted);
}

TEST(SelectMembers, KeepsProtectedMembersFirst) {
  Attempt a(R"({"a":"aaaaaaaaaaaaaaaaaaaa","b":"bbbbbbbbbbbbbbbbbbbb","id":"iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii"})",
            with(R"({"protect":"/id"})"));
  EXPECT_EQ("{\"id\":\"iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii\",\"\xE2\x80\xA6\":\"2 keys omitted\"}", a.run(30));
  EXPECT_EQ(0u, a.ctx.protected_omitted);
}

TEST(SelectMembers, RanksMembersByScoreWithCondense) {
  Attempt a(R"({"etag":"W/abcdefabcdefabcdef","title":"Crash on export","node_id":"MDU6SXNzdWUxMjM0NTY3ODk="})",
            with(R"({"array_strategy":"condense"})"));
  std::string out = a.run(60);
  EXPECT_EQ("{\"title\":\"Crash on export\",\"\xE2\x80\xA6\":\"2 keys omitted\"}", out);
  // The query lifts a member whose key matches it.
  Attempt q(R"({"summary":"a short summary","priority":"high"})",
            with(R"({"array_strategy":"condense","arguments":{"q":"priority"}})"));
  EXPECT_NE(std::string::npos, q.run(40).find("\"priority\":\"high\""));
}

// Condensing a large object ranks its members a slice at a time: the best
// may come last, and a small member ranked low still takes room left over.
TEST(SelectMembers, RanksAWideObjectWhateverTheOrder) {
  std::string doc = "{";
  for (int i = 0; i < 3000; ++i) doc += "\"k" + std::to_string(i) + "\":\"" + std::string(30, 'v') + "\",";
  doc += R"("title":"Crash","k3000":"vvv","zz":1})";
  struct Case {
    uint64_t budget;
    size_t members;  // kept, the marker included
    bool small_kept;
  } cases[] = {{300, 14, true}, {2000, 86, false}, {9000, 374, true}, {200000, 3003, true}};
  for (const Case& c : cases) {
    Attempt a(doc, with(R"({"array_strategy":"condense"})"));
    std::string out = a.run(c.budget);
    EXPECT_LE(char_count(out), c.budget);
    EXPECT_NE(std::string::npos, out.find("\"title\":\"Crash\"")) << c.budget;
    EXPECT_EQ(c.small_kept, out.find("\"zz\":1") != std::string::npos) << c.budget;
    EXPECT_EQ(c.members, json::read_json(out)->members().size()) << c.budget;
  }
}

// Arrays of numbers read into an arena stay packed in the input's text:
// every step must treat them as the nodes an owned read builds, whether
// they are short, longer (with an index), long enough to be measured a
// window at a time, or turn mixed.
TEST(Prune, PackedArraysPruneAsTheirNodes) {
  std::string doc = R"({"type":"FeatureCollection","bbox":[-180,-90.5,180,9e1],"series":[)";
  for (int i = 0; i < 700; ++i) doc += (i ? "," : "") + std::to_string(i * 37 % 1000) + (i % 3 ? ".5" : "");
  doc += R"(],"mixed_late":[)";
  for (int i = 0; i < 20; ++i) doc += std::to_string(i) + ",";
  doc += R"("end"],"features":[)";
  for (int f = 0; f < 6; ++f) {
    doc += f ? "," : "";
    doc += R"({"id":)" + std::to_string(f) + R"(,"bbox":[1,2,3,4],"tags":[1,2,3,4,5,6,7,8,9],)";
    doc += R"("mixed":[1,"a",2],"geometry":{"coordinates":[)";
    for (int p = 0; p < 40; ++p)
      doc += (p ? "," : "") + std::string("[4.") + std::to_string(1000 + p * 37) + ",-0,1E-3]";
    doc += "]}}";
  }
  doc += "]}";
  const char* option_sets[] = {
      "{}",
      R"({"array_strategy":"condense"})",
      R"({"protect":["/features/*/bbox","/features/1/geometry/coordinates/*/1"]})",
      R"({"array_strategy":"condense","protect":"/bbox/2"})",
      R"({"protect":["/series/300","/features/*/tags/*"]})",
      R"({"protect":"series"})",
      R"({"array_strategy":"condense","arguments":{"q":"tags 4.1000 series 333"}})",
      R"({"max_samples":5,"keep_last_item":false})",
  };
  for (const char* o : option_sets) {
    for (uint64_t width : {0, 2}) {
      for (uint64_t budget : {40, 200, 700, 2500, 5000, 9000, 100000}) {
        Attempt owned(doc, with(o), width);
        Arena arena;
        Attempt packed(doc, with(o), width, &arena);
        ASSERT_EQ(owned.node.full, packed.node.full) << o;
        ASSERT_EQ(owned.node.min, packed.node.min) << o;
        EXPECT_EQ(owned.run(budget), packed.run(budget)) << o << " " << width << " " << budget;
        EXPECT_EQ(owned.ctx.stats.items_omitted, packed.ctx.stats.items_omitted) << o << " " << budget;
        EXPECT_EQ(owned.ctx.protected_omitted, packed.ctx.protected_omitted) << o << " " << budget;
      }
    }
  }
}

// The size prune reports is the written size of what it returns, for any
// budget, layout and strategy.
TEST(Prune, ReportsExactSizesForGeneratedDocuments) {
  for (uint64_t seed = 1; seed <= 150; ++seed) {
    Value doc = testing::DocGen(seed).value();
    std::string text = json::to_json(doc);
    for (const char* opts : {R"({})", R"({"array_strategy":"condense","protect":["id"],"arguments":"bug"})"}) {
      for (uint64_t width : {0, 2}) {
        Attempt a(text, with(opts), width);
        for (uint64_t budget : {0ul, 10ul, a.node.full / 3, a.node.full / 2, a.node.full - 1}) {
          PruneResult r = prune(a.ctx, a.doc, a.node, budget, 0);
          std::string out = json::to_json(r.value, width);
          ASSERT_EQ(char_count(out), r.size) << "seed " << seed << " budget " << budget << "\n" << out;
          if (budget >= a.node.min) {
            ASSERT_LE(r.size, std::max(budget, a.node.min)) << "seed " << seed << "\n" << out;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tersolite
