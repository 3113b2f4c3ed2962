// Reads a traffic generator job from its JSON.
#include "control/GeneratorJson.h"

#include "protocol/ConfigFields.h"
#include "smpp/JsonFields.h"

#include <QJsonDocument>
#include <QStringList>
#include <QJsonObject>

#include <algorithm>
#include <iterator>

using namespace config_fields::generator_job;


std::optional<GeneratorJob> ParseGeneratorJob(const QByteArray& json, QString* error) {
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QString("body: not JSON (%1 at octet %2)").arg(parse.errorString()).arg(parse.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = "body: a JSON object expected";
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    CJsonFields fields(object);
    fields.Only(kAll);
    GeneratorJob job;
    job.systemId = fields.Text(kSystemId, true).toStdString();
    job.rate = int32_t(fields.Integer(kRate, 1, GeneratorJob::kMaxRate, 0, true));
    const bool counted = object.contains(kCount);
    if (counted == object.contains(kSeconds))
        fields.Fail(kCount, "either count or seconds expected");
    job.count = fields.Integer(kCount, 1, GeneratorJob::kMaxCount, 0);
    job.seconds = int32_t(fields.Integer(kSeconds, 1, GeneratorJob::kMaxSeconds, 0));
    const QString kind = fields.Text(kKind, false, GeneratorKindName(job.kind));
    const auto named = std::find_if(std::begin(kGeneratorKinds), std::end(kGeneratorKinds),
                                    [&kind](const GeneratorKindNameRow& row) { return kind == row.name; });
    if (named != std::end(kGeneratorKinds)) {
        job.kind = named->kind;
    } else {
        QStringList names;
        for (const GeneratorKindNameRow& row : kGeneratorKinds)
            names << row.name;
        fields.FailOneOf(kKind, names);
    }
    job.source = fields.Text(kSource, false, QString::fromStdString(job.source)).toStdString();
    job.destination = fields.Text(kDestination, false, QString::fromStdString(job.destination)).toStdString();
    job.text = fields.Text(kText, false, QString::fromStdString(job.text)).toStdString();
    if (fields.Ok()) {
        if (const std::string wrong = job.Check(); !wrong.empty())
            fields.Fail(wrong.substr(0, wrong.find(':')).c_str(), QString::fromStdString(wrong.substr(wrong.find(':') + 2)));
    }
    if (!fields.Ok()) {
        *error = fields.Error();
        return std::nullopt;
    }
    return job;
}
