#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/savefileset.h"

#include <QString>

#include <memory>

namespace Core::Operations {

// Writes a cell volume to files for the tools that come after this program: the selected
// volume, or the document's only one, or the one the user then picks and confirms with
// Enter. The files are asked for with a file chooser. Changes no cells, so it is not undone.
class ExportOperation : public Operation {
public:
    void step() override;
    void cancel() override;
    void end() override;

    std::shared_ptr<Model::Automaton::TotalVolume> getTarget() const { return target; }
    void setTarget(std::shared_ptr<Model::Automaton::TotalVolume> volume) {
        target = std::move(volume);
    }
    QString getFileName() const { return fileName; }
    void setFileName(const QString& value) { fileName = value; }

    static QString errorTitle() { return QStringLiteral("Error writing to file"); }

protected:
    ExportOperation(OperationContext& context, const QString& name, int id);

    virtual QString filter() const = 0;
    // The name the file chooser gave, completed where the format needs it.
    virtual QString completed(const QString& chosen) const { return chosen; }
    virtual Model::Export::ExportResult write(Model::Automaton::TotalVolume& volume) = 0;

    void message(const QString& text) const;

    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> target;
    QString fileName;

private:
    bool takeVolume();
};

// One closed triangle surface per material, as STL files or one OBJ file.
class ExportMeshOperation : public ExportOperation {
public:
    explicit ExportMeshOperation(OperationContext& context);

protected:
    QString filter() const override;
    Model::Export::ExportResult write(Model::Automaton::TotalVolume& volume) override;
};

// The cells as VTK image data.
class ExportVolumeOperation : public ExportOperation {
public:
    explicit ExportVolumeOperation(OperationContext& context);

protected:
    QString filter() const override;
    QString completed(const QString& chosen) const override;
    Model::Export::ExportResult write(Model::Automaton::TotalVolume& volume) override;
};

// A picture of the cells on the plane the cut planes expose, as PNG or SVG.
class SaveCrossSectionOperation : public ExportOperation {
public:
    explicit SaveCrossSectionOperation(OperationContext& context);

protected:
    QString filter() const override;
    QString completed(const QString& chosen) const override;
    Model::Export::ExportResult write(Model::Automaton::TotalVolume& volume) override;
};

} // namespace Core::Operations
