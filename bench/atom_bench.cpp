// ParseEvents on one full page (500 entries) of real-looking event entries:
// single events with reminders, recurring series with a VTIMEZONE and their
// exceptions, canceled entries. BM_BareDomParse parses the same bytes with a
// plain Xerces DOM parser and nothing else. BM_ParseEvents also runs a bare
// parse in every iteration (untimed) and reports "cpu_ms_per_page", the
// thread CPU milliseconds of one page, and "vs_bare_dom", its ratio to the
// bare parse under the same load.
#include <benchmark/benchmark.h>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <time.h>

#include <cstdio>
#include <memory>
#include <string>

#include "googledata/AtomReader.h"
#include "googledata/XmlContext.h"

namespace {

const char* const kGd = "http://schemas.google.com/g/2005";

std::string Entry(int i) {
    char eid[40];
    std::snprintf(eid, sizeof eid, "b%025d", i);
    const std::string feed =
        "https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full/";
    const int kind = i % 10;  // 0-5 single, 6-7 series, 8 exception, 9 canceled
    std::string e = "<entry gd:etag='&quot;EUUDRgVIfSp7ImA6WhJW&quot;' gd:kind='calendar#event'>";
    std::string id = eid;
    if (kind == 8) {
        char prev[40];
        std::snprintf(prev, sizeof prev, "b%025d", i - 2);
        id = std::string(prev) + "_20110509T100000Z";
    }
    e += "<id>http://www.google.com/calendar/feeds/default/events/" + id + "</id>";
    e += "<published>2011-04-20T01:00:00.000Z</published><updated>2011-04-21T02:30:00.000Z</"
         "updated>";
    e += "<app:edited>2011-04-21T02:30:00.000Z</app:edited>";
    e += std::string("<category scheme='") + kGd + "#kind' term='" + kGd + "#event'/>";
    e += "<title>会議 " + std::to_string(i) + " &amp; 打ち合わせ</title>";
    e += "<content>議題: 予算、日程 &lt;重要&gt; — notes for entry " + std::to_string(i) +
         "</content>";
    e += "<link rel='alternate' type='text/html' href='https://www.google.com/calendar/event?eid=" +
         id + "' title='alternate'/>";
    e += "<link rel='self' type='application/atom+xml' href='" + feed + id + "'/>";
    e += "<link rel='edit' type='application/atom+xml' href='" + feed + id + "'/>";
    e += "<author><name>Hanako Sato</name><email>hanako.sato@example.com</email></author>";
    e += "<gd:comments><gd:feedLink href='" + feed + id + "/comments'/></gd:comments>";
    if (kind == 8) {
        char prev[40];
        std::snprintf(prev, sizeof prev, "b%025d", i - 2);
        e += "<gd:originalEvent id='" + std::string(prev) + "' href='" + feed + prev +
             "'><gd:when startTime='2011-05-09T19:00:00.000+09:00'/></gd:originalEvent>";
    }
    e += std::string("<gd:eventStatus value='") + kGd +
         (kind == 9 ? "#event.canceled'/>" : "#event.confirmed'/>");
    e += "<gd:where valueString='会議室 " + std::to_string(i % 7) + "'/>";
    e += std::string("<gd:who email='hanako.sato@example.com' rel='") + kGd +
         "#event.organizer' valueString='Hanako Sato'/>";
    if (kind == 6 || kind == 7) {
        e += "<gd:recurrence>DTSTART;TZID=Asia/Tokyo:20110502T190000\nDTEND;TZID=Asia/Tokyo:"
             "20110502T210000\nRRULE:FREQ=WEEKLY;BYDAY=MO;WKST=SU\nBEGIN:VTIMEZONE\nTZID:Asia/"
             "Tokyo\nX-LIC-LOCATION:Asia/Tokyo\nBEGIN:STANDARD\nTZOFFSETFROM:+0900\nTZOFFSETTO:+"
             "0900\nTZNAME:JST\nDTSTART:19700101T000000\nEND:STANDARD\nEND:VTIMEZONE\n\n"
             "</gd:recurrence><gd:reminder method='email' minutes='10'/><gd:reminder "
             "method='alert' minutes='15'/>";
    } else {
        e += "<gd:when endTime='2011-05-01T11:00:00.000+09:00' "
             "startTime='2011-05-01T10:00:00.000+09:00'><gd:reminder method='email' "
             "minutes='30'/><gd:reminder method='alert' minutes='10'/></gd:when>";
    }
    e += std::string("<gd:transparency value='") + kGd + "#event.opaque'/>";
    e += std::string("<gd:visibility value='") + kGd + "#event.default'/>";
    e += "<gCal:anyoneCanAddSelf value='false'/><gCal:guestsCanInviteOthers value='true'/>"
         "<gCal:guestsCanModify value='false'/><gCal:guestsCanSeeGuests value='true'/>";
    e += "<gCal:sequence value='" + std::to_string(i % 4) + "'/><gCal:uid value='" + id +
         "@google.com'/></entry>";
    return e;
}

const std::string& Page() {
    static const std::string page = [] {
        std::string p =
            "<?xml version='1.0' encoding='UTF-8'?><feed xmlns='http://www.w3.org/2005/Atom' "
            "xmlns:openSearch='http://a9.com/-/spec/opensearch/1.1/' "
            "xmlns:gCal='http://schemas.google.com/gCal/2005' "
            "xmlns:gd='http://schemas.google.com/g/2005' xmlns:app='http://www.w3.org/2007/app'>"
            "<id>http://www.google.com/calendar/feeds/hanako.sato%40example.com/private/full</id>"
            "<updated>2011-05-02T03:04:05.000Z</updated><title>Hanako Sato</title>"
            "<link rel='next' type='application/atom+xml' "
            "href='https://www.google.com/calendar/feeds/hanako.sato%40example.com/private/"
            "full?start-index=501&amp;max-results=500'/>"
            "<openSearch:totalResults>1800</openSearch:totalResults>"
            "<openSearch:startIndex>1</openSearch:startIndex>";
        for (int i = 0; i < 500; ++i) {
            p += Entry(i);
        }
        return p + "</feed>";
    }();
    return page;
}

// CPU seconds of this thread: the machine may be shared, so the counters
// below use the work done rather than the wall clock.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One bare DOM parse of the page with the parser set up as the readers set
// theirs up, and nothing else.
class BareParser {
public:
    BareParser() {
        xercesc::XMLPlatformUtils::Initialize();
        parser_ = std::make_unique<xercesc::XercesDOMParser>();
        parser_->setDoNamespaces(false);
        parser_->setDoSchema(false);
        parser_->setValidationScheme(xercesc::XercesDOMParser::Val_Auto);
    }
    ~BareParser() {
        parser_.reset();
        xercesc::XMLPlatformUtils::Terminate();
    }
    void Parse(const std::string& page) {
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(page.data()),
                                          page.size(), "fake_buffer", false);
        parser_->parse(source);
        benchmark::DoNotOptimize(parser_->getDocument());
        parser_->resetDocumentPool();
    }

private:
    std::unique_ptr<xercesc::XercesDOMParser> parser_;
};

void BM_BareDomParse(benchmark::State& state) {
    BareParser bare;
    const std::string& page = Page();
    for (auto _ : state) {
        bare.Parse(page);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_BareDomParse)->Unit(benchmark::kMillisecond);

// Times ParseEvents; a bare parse of the same bytes runs in every iteration
// too (outside the timed part), so that the ratio compares the two under the
// same load.
void BM_ParseEvents(benchmark::State& state) {
    googledata::XmlContext xml(nullptr);
    BareParser bare;
    const std::string& page = Page();
    std::vector<googledata::PrimitiveEvent> events;
    double readerSeconds = 0;
    double bareSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double t0 = ThreadSeconds();
        bare.Parse(page);
        bareSeconds += ThreadSeconds() - t0;
        state.ResumeTiming();
        const double t1 = ThreadSeconds();
        std::string next;
        int startIndex = 0;
        int total = 0;
        const bool ok = googledata::ParseEvents(xml, page, events, next, &startIndex, &total);
        readerSeconds += ThreadSeconds() - t1;
        if (!ok || events.size() != 500) {
            state.SkipWithError("the page was not read whole");
            break;
        }
    }
    const double runs = static_cast<double>(state.iterations() ? state.iterations() : 1);
    state.counters["cpu_ms_per_page"] = readerSeconds / runs * 1000.0;
    state.counters["bare_cpu_ms"] = bareSeconds / runs * 1000.0;
    if (bareSeconds > 0) {
        state.counters["vs_bare_dom"] = readerSeconds / bareSeconds;
    }
    state.counters["page_kib"] = static_cast<double>(page.size()) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ParseEvents)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
