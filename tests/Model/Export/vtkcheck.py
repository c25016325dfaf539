"""Reads an exported file with the VTK module and prints what VTK makes of it as JSON.

vtkcheck.py vti FILE   dimensions, spacing, origin, length unit, a digest of the "material" cell ids (as
                       little-endian 32-bit numbers in VTK's order), the material names and a digest
                       of the "flux" cell array (little-endian 32-bit floats) when there is one
vtkcheck.py obj FILE   points, triangles, open and non-manifold edges, enclosed volume
"""
import array
import hashlib
import json
import sys

import vtk


def digest(ids, code="I"):
    values = array.array(code, (ids.GetValue(i) for i in range(ids.GetNumberOfValues())))
    if sys.byteorder != "little":
        values.byteswap()
    return hashlib.sha256(values.tobytes()).hexdigest()


def read_vti(path):
    reader = vtk.vtkXMLImageDataReader()
    reader.SetFileName(path)
    reader.Update()
    image = reader.GetOutput()
    materials = image.GetCellData().GetArray("material")
    fields = image.GetFieldData()
    names = fields.GetAbstractArray("MaterialNames")
    ids = fields.GetArray("MaterialIds")
    unit = fields.GetAbstractArray("LengthUnit")
    flux = image.GetCellData().GetArray("flux")
    return {
        "dimensions": list(image.GetDimensions()),
        "spacing": list(image.GetSpacing()),
        "origin": list(image.GetOrigin()),
        "type": materials.GetDataTypeAsString() if materials else None,
        "sha256": digest(materials) if materials else None,
        "ids": [int(ids.GetValue(i)) for i in range(ids.GetNumberOfTuples())] if ids else [],
        "names": [names.GetValue(i) for i in range(names.GetNumberOfValues())] if names else [],
        "unit": unit.GetValue(0) if unit else None,
        "flux_type": flux.GetDataTypeAsString() if flux else None,
        "flux_sha256": digest(flux, "f") if flux else None,
    }


def read_obj(path):
    reader = vtk.vtkOBJReader()
    reader.SetFileName(path)
    reader.Update()
    mesh = reader.GetOutput()
    edges = vtk.vtkFeatureEdges()
    edges.SetInputData(mesh)
    edges.BoundaryEdgesOn()
    edges.NonManifoldEdgesOff()
    edges.FeatureEdgesOff()
    edges.ManifoldEdgesOff()
    edges.Update()
    open_edges = edges.GetOutput().GetNumberOfCells()
    edges.BoundaryEdgesOff()
    edges.NonManifoldEdgesOn()
    edges.Update()
    non_manifold = edges.GetOutput().GetNumberOfCells()
    mass = vtk.vtkMassProperties()
    mass.SetInputData(mesh)
    mass.Update()
    return {
        "points": mesh.GetNumberOfPoints(),
        "triangles": mesh.GetNumberOfPolys(),
        "open_edges": open_edges,
        "non_manifold_edges": non_manifold,
        "volume": mass.GetVolume(),
    }


if __name__ == "__main__":
    kind, path = sys.argv[1], sys.argv[2]
    print(json.dumps(read_vti(path) if kind == "vti" else read_obj(path)))
