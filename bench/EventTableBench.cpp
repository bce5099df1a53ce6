// The event window's results table at 5,000 results: the time from the end of an input update to
// the table's model having signalled its changes and the view having repainted (offscreen). One
// finisher that moves to the top, and every row changed at once (a full results message).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <cstdlib>

#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "ui/VZResultsModel.h"

namespace {

// Race times of a few hours at most fit the 32-bit tick count.
TimeValue Hundredths(int hundredths) {
    return TimeValue(TickCount{static_cast<int32_t>(hundredths * kTicksHundredth.Value())}, kTicksHundredth);
}

struct Table {
    explicit Table(int rows) {
        LoadDefaults(settings);
        for (int i = 0; i < rows; ++i) {
            ResultRecord* record = event.Results().Add();
            record->SetId(ToKString(1000 + i));
            record->SetLastName(u"Runner" + ToKString(i));
            record->SetAffiliation(u"School " + ToKString(i % 500));
            record->SetTime(Hundredths(90000 + i * 37));
        }
        model = std::make_unique<VZResultsModel>(settings, event, event.Results());
        view.setModel(model.get());
        view.resize(1000, 700);
        view.show();
        QApplication::processEvents();
    }

    /// One input update that changes `changed` records, then the repaint the view would do next.
    void Update(int changed, int round) {
        event.BeginUpdate();
        ResultList& results = event.Results();
        if (changed == 1) {
            // The last runner gets the best time and moves to the top.
            ResultRecord* last = results.At(results.Size() - 1);
            last->SetTime(Hundredths(80000 - round));
        } else {
            for (ResultRecord& record : results.Sorted()) record.SetLastSplitTime(Hundredths(round));
        }
        event.EndUpdate();
        view.viewport()->repaint();
    }

    KRegistry settings;
    EventRecord event;
    std::unique_ptr<VZResultsModel> model;
    QTableView view;
};

void BM_UpdateToRepaint(benchmark::State& state) {
    Table table(static_cast<int>(state.range(0)));
    const int changed = static_cast<int>(state.range(1));
    int round = 0;
    for (auto _ : state) table.Update(changed, ++round);
    state.counters["rows"] = static_cast<double>(table.model->rowCount());
}
BENCHMARK(BM_UpdateToRepaint)->Args({5000, 1})->Args({5000, 5000})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
