// XML reading speed: a generated 1 MB descriptor parsed into the tag tree, beside libexpat
// building the same tree through its callbacks; and both readers alone, counting events.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "services/xml/XMLContentHandlerI.h"
#include "services/xml/XMLDocumentC.h"

namespace {

// About 1 MB of descriptor-shaped XML: sections of parts with attributes, texts, entities
// and comments, indented as a writer would.
const std::string& generatedXml()
{
    static const std::string text = [] {
        std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<ORDER id=\"1\">\n";
        char line[512];
        for (int section = 0; out.size() < 1000000; ++section) {
            std::snprintf(line, sizeof line, "  <SECTION name=\"section %d\" kind='assembly'>\n", section);
            out += line;
            out += "    <!-- parts of this section -->\n";
            std::snprintf(line, sizeof line, "    <ZIPFILE>models/section%d.zip</ZIPFILE>\n    <CONTENTS>\n", section);
            out += line;
            for (int part = 0; part < 20; ++part) {
                std::snprintf(line, sizeof line,
                              "      <PART id=\"%d\" colour=\"#A0B0C0\" visible=\"1\">\n"
                              "        <FILENAME>part_%d_%d.zjv</FILENAME>\n"
                              "        <NAME>Bolt M%d &amp; washer &lt;zinc&gt;</NAME>\n"
                              "        <MATRIX>1 0 0 0 0 1 0 0 0 0 1 0 %d.5 %d.25 0 1</MATRIX>\n"
                              "      </PART>\n",
                              part, section, part, part % 12 + 3, section, part);
                out += line;
            }
            out += "    </CONTENTS>\n  </SECTION>\n";
        }
        out += "</ORDER>\n";
        return out;
    }();
    return text;
}

void BM_ParseIntoTree(benchmark::State& state)
{
    const std::string& text = generatedXml();
    XMLDocumentC doc;
    for (auto _ : state) {
        bool ok = doc.parseString(text.c_str());
        if (!ok)
            state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(doc.getRootTag()->getChildCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseIntoTree)->Unit(benchmark::kMillisecond);

// Builds the same tree as the DOM handler: a child per element, its attributes, and the
// last run of text inside an element as its text (leading white space of a run skipped).
struct ExpatTreeBuilder {
    std::vector<XMLTagC*> open;
    std::string pendingText;

    void flushText()
    {
        size_t begin = pendingText.find_first_not_of(" \t\r\n");
        if (begin != std::string::npos)
            open.back()->setText(RWCString(pendingText.data() + begin, pendingText.size() - begin));
        pendingText.clear();
    }
    static void XMLCALL start(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        auto* self = static_cast<ExpatTreeBuilder*>(data);
        self->flushText();
        XMLTagC* tag = self->open.back()->addChild(name);
        for (const XML_Char** a = attributes; *a; a += 2)
            tag->addAttribute(a[0], a[1]);
        self->open.push_back(tag);
    }
    static void XMLCALL end(void* data, const XML_Char*)
    {
        auto* self = static_cast<ExpatTreeBuilder*>(data);
        self->flushText();
        self->open.pop_back();
    }
    static void XMLCALL characters(void* data, const XML_Char* s, int len)
    {
        static_cast<ExpatTreeBuilder*>(data)->pendingText.append(s, size_t(len));
    }
};

void BM_ExpatIntoTree(benchmark::State& state)
{
    const std::string& text = generatedXml();
    XMLDocumentC doc;
    for (auto _ : state) {
        doc.reset();
        ExpatTreeBuilder builder;
        builder.open.push_back(doc.getRootTag());
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &builder);
        XML_SetElementHandler(parser, &ExpatTreeBuilder::start, &ExpatTreeBuilder::end);
        XML_SetCharacterDataHandler(parser, &ExpatTreeBuilder::characters);
        if (XML_Parse(parser, text.data(), int(text.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(parser);
        benchmark::DoNotOptimize(doc.getRootTag()->getChildCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ExpatIntoTree)->Unit(benchmark::kMillisecond);

// The reader and the tokenizer of libexpat alone: every event counted, no tree built.
struct CountingHandler : XMLContentHandlerI {
    size_t events = 0;
    bool startElement(const RWCString&) override { return ++events != 0; }
    bool attribute(const RWCString&, const RWCString&) override { return ++events != 0; }
    bool characters(const RWCString&) override { return ++events != 0; }
    bool endElement(const RWCString&) override { return ++events != 0; }
    RWCString getErrorMessage() override { return RWCString(); }
};

void BM_ParseEventsOnly(benchmark::State& state)
{
    const std::string& text = generatedXml();
    XMLDocumentC doc;
    CountingHandler handler;
    for (auto _ : state) {
        std::istringstream in(text);
        if (!doc.parse(in, &handler))
            state.SkipWithError("parse failed");
    }
    benchmark::DoNotOptimize(handler.events);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ParseEventsOnly)->Unit(benchmark::kMillisecond);

void BM_ExpatEventsOnly(benchmark::State& state)
{
    const std::string& text = generatedXml();
    size_t events = 0;
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &events);
        XML_SetElementHandler(
            parser,
            [](void* data, const XML_Char*, const XML_Char** attributes) {
                auto* n = static_cast<size_t*>(data);
                for (const XML_Char** a = attributes; *a; a += 2)
                    ++*n;
                ++*n;
            },
            [](void* data, const XML_Char*) { ++*static_cast<size_t*>(data); });
        XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char*, int) { ++*static_cast<size_t*>(data); });
        if (XML_Parse(parser, text.data(), int(text.size()), 1) != XML_STATUS_OK)
            state.SkipWithError("expat failed");
        XML_ParserFree(parser);
    }
    benchmark::DoNotOptimize(events);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ExpatEventsOnly)->Unit(benchmark::kMillisecond);

}  // namespace
