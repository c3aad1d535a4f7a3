#include "frontend/progressdisplay.h"

void updateProgress(ProgressLabels& labels, const ProgressInput& input) {
    if (input.fileSize) {
        labels.percentShown = true;
        labels.size = QString::number(*input.fileSize / 1024) + QStringLiteral(" K");
    }
    if (input.format == AudioFormat::Wma) {
        labels.percentShown = false;
        return;
    }
    qint64 factor = sizeFactorValue(input.sizeFactor);
    if (factor == 0) return;
    qint64 expected = factor * input.trackSeconds;
    // Without a known track length there is nothing to divide by.
    if (expected <= 0) {
        labels.percent.clear();
        return;
    }
    qint64 written = labels.size.left(labels.size.size() - 2).toLongLong();
    qint64 percent = written * 100 / expected;
    labels.percent = percent < 100 ? QString::number(percent) + QStringLiteral(" %")
                                   : QStringLiteral("100 %");
}
