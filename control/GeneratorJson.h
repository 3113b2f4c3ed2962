// A traffic generator job as JSON, one reader for the control API and the --generate file.
#pragma once

#include "simulator/TrafficGenerator.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>


std::optional<GeneratorJob> ParseGeneratorJob(const QByteArray& json, QString* error);
