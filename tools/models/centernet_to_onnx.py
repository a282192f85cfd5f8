#!/usr/bin/python3
"""Converts the CenterNet object model (TensorFlow.js graph model, NHWC, float16
weights) into an ONNX file that OpenCV 4.6's dnn module imports.

Only the part of the graph that feeds the class heatmap is kept (the box
decoding after it uses ops OpenCV cannot import and we do not need). The graph
is rewritten channels-first:
    input  "images"    1 x 3 x 512 x 512, RGB, raw 0..255
    output "keypoints" 1 x 80 x 128 x 128, per-class sigmoid heatmap
The file declares opset 11 (OpenCV 4.6 maps Resize to TensorFlow's legacy
bilinear resize only through opset 11's coordinate_transformation_mode), but
writes Clip in the older attribute form: OpenCV 4.6 rejects Clip with min/max
inputs. The schema check runs on a copy with Clip in its opset-11 form.

Usage: centernet_to_onnx.py MODEL_JSON LABELS_TS OUT_ONNX OUT_LABELS
"""
import base64
import json
import os
import re
import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

HEATMAP = "tower_0/keypoints"


def read_weights(model_path, graph):
    folder = os.path.dirname(model_path)
    weights = {}
    for group in graph["weightsManifest"]:
        data = b"".join(open(os.path.join(folder, p), "rb").read() for p in group["paths"])
        offset = 0
        for spec in group["weights"]:
            count = int(np.prod(spec["shape"])) if spec["shape"] else 1
            stored = (spec.get("quantization") or {}).get("dtype", spec["dtype"])
            dtype = {"float16": np.float16, "float32": np.float32, "int32": np.int32}.get(stored)
            if dtype is None:
                sys.exit(f"centernet_to_onnx: unsupported weight type {stored} for {spec['name']}")
            size = count * np.dtype(dtype).itemsize
            values = np.frombuffer(data, dtype=dtype, count=count, offset=offset)
            target = np.float32 if spec["dtype"] == "float32" else np.int32
            weights[spec["name"]] = values.astype(target).reshape(spec["shape"])
            offset += size
    return weights


def source(name):
    return name.lstrip("^").split(":")[0]


def needed_nodes(nodes, output):
    needed, stack = set(), [output]
    while stack:
        name = stack.pop()
        if name not in needed:
            needed.add(name)
            stack.extend(source(i) for i in nodes[name].get("input", []))
    return needed


def text_attr(node, key, default=None):
    value = node.get("attr", {}).get(key)
    return base64.b64decode(value["s"]).decode() if value and "s" in value else default


def list_attr(node, key):
    value = node.get("attr", {}).get(key, {}).get("list", {})
    if "s" in value:
        return [base64.b64decode(s).decode() for s in value["s"]]
    return [int(i) for i in value.get("i", [])]


class Converter:
    def __init__(self, graph, weights):
        self.nodes = {n["name"]: n for n in graph["modelTopology"]["node"]}
        self.weights = weights
        self.shapes = {}  # tensor name -> (C, H, W) channels-first
        self.alias = {}  # Identity outputs -> their input
        self.onnx_nodes = []
        self.initializers = []

    def name(self, tf_input):
        n = source(tf_input)
        return self.alias.get(n, n)

    def const(self, tf_input):
        return self.weights[source(tf_input)]

    def is_const(self, tf_input):
        return self.nodes[source(tf_input)]["op"] == "Const"

    def add_initializer(self, name, array):
        self.initializers.append(numpy_helper.from_array(array, name))
        return name

    def emit(self, op, inputs, output, shape, **attrs):
        self.onnx_nodes.append(helper.make_node(op, inputs, [output], name=output, **attrs))
        self.shapes[output] = shape

    def convert(self, output):
        order = [n for n in self.nodes.values() if n["name"] in needed_nodes(self.nodes, output)]
        for node in order:
            handler = getattr(self, "op_" + node["op"].lstrip("_"), None)
            if handler is None:
                sys.exit(f"centernet_to_onnx: no conversion for op {node['op']} ({node['name']})")
            handler(node)
        self.onnx_nodes.append(helper.make_node("Identity", [self.name(output)], ["keypoints"]))
        return self.shapes[self.name(output)]

    def op_Const(self, node):
        pass

    def op_Identity(self, node):
        self.alias[node["name"]] = self.name(node["input"][0])

    def op_Placeholder(self, node):
        dims = [int(d["size"]) for d in node["attr"]["shape"]["shape"]["dim"]]
        self.alias[node["name"]] = "images"
        self.shapes["images"] = (dims[3], dims[1], dims[2])

    def conv(self, node, kernel, groups, bias=None):
        x = self.name(node["input"][0])
        _, h, w = self.shapes[x]
        kh, kw = kernel.shape[2], kernel.shape[3]
        strides = list_attr(node, "strides")[1:3]
        if text_attr(node, "padding") == "SAME":
            # TensorFlow pads SAME asymmetrically, the extra row/column last.
            out_h, out_w = -(-h // strides[0]), -(-w // strides[1])
            pad_h = max((out_h - 1) * strides[0] + kh - h, 0)
            pad_w = max((out_w - 1) * strides[1] + kw - w, 0)
            pads = [pad_h // 2, pad_w // 2, pad_h - pad_h // 2, pad_w - pad_w // 2]
        else:
            out_h, out_w = (h - kh) // strides[0] + 1, (w - kw) // strides[1] + 1
            pads = [0, 0, 0, 0]
        name = node["name"]
        inputs = [x, self.add_initializer(name + "/kernel", kernel)]
        if bias is not None:
            inputs.append(self.add_initializer(name + "/bias", bias.astype(np.float32)))
        activation = [op for op in list_attr(node, "fused_ops") if op != "BiasAdd"]
        conv_out = name if not activation else name + "/conv"
        self.emit("Conv", inputs, conv_out, (kernel.shape[0], out_h, out_w), kernel_shape=[kh, kw],
                  strides=strides, pads=pads, group=groups)
        for op in activation:
            if op == "Relu":
                self.emit("Relu", [conv_out], name, self.shapes[conv_out])
            elif op == "Relu6":
                self.emit("Clip", [conv_out], name, self.shapes[conv_out], min=0.0, max=6.0)
            else:
                sys.exit(f"centernet_to_onnx: no conversion for fused op {op} ({name})")

    def fused_bias(self, node):
        return self.const(node["input"][2]) if len(node["input"]) > 2 else None

    def op_FusedConv2D(self, node):
        kernel = self.const(node["input"][1]).transpose(3, 2, 0, 1)  # HWIO -> OIHW
        self.conv(node, np.ascontiguousarray(kernel), 1, self.fused_bias(node))

    def op_Conv2D(self, node):
        self.op_FusedConv2D(node)

    def op_FusedDepthwiseConv2dNative(self, node):
        kernel = self.const(node["input"][1])  # H, W, C, multiplier
        kh, kw, channels, multiplier = kernel.shape
        kernel = kernel.transpose(2, 3, 0, 1).reshape(channels * multiplier, 1, kh, kw)
        self.conv(node, np.ascontiguousarray(kernel), channels, self.fused_bias(node))

    def op_DepthwiseConv2dNative(self, node):
        self.op_FusedDepthwiseConv2dNative(node)

    def binary(self, node, op):
        a, b = node["input"]
        if self.is_const(a):
            a, b = b, a
        inputs = [self.name(a)]
        if self.is_const(b):
            value = self.const(b).astype(np.float32)
            if value.size != 1:
                sys.exit(f"centernet_to_onnx: non-scalar constant operand in {node['name']}")
            inputs.append(self.add_initializer(node["name"] + "/operand", value.reshape([1])))
            shape = self.shapes[inputs[0]]
        else:
            inputs.append(self.name(b))
            # Broadcasting a squeeze-excite scale (C x 1 x 1) over a map: put the map first.
            sa, sb = self.shapes[inputs[0]], self.shapes[inputs[1]]
            if sa[1] * sa[2] < sb[1] * sb[2]:
                inputs.reverse()
            shape = self.shapes[inputs[0]]
        self.emit(op, inputs, node["name"], shape)

    def op_Mul(self, node):
        self.binary(node, "Mul")

    def op_Add(self, node):
        self.binary(node, "Add")

    def op_Relu(self, node):
        x = self.name(node["input"][0])
        self.emit("Relu", [x], node["name"], self.shapes[x])

    def op_Relu6(self, node):
        x = self.name(node["input"][0])
        self.emit("Clip", [x], node["name"], self.shapes[x], min=0.0, max=6.0)

    def op_Sigmoid(self, node):
        x = self.name(node["input"][0])
        self.emit("Sigmoid", [x], node["name"], self.shapes[x])

    def op_Mean(self, node):
        x = self.name(node["input"][0])
        axes = sorted(int(a) % 4 for a in np.ravel(self.const(node["input"][1])))
        if axes != [1, 2] or not node["attr"]["keep_dims"]["b"]:
            sys.exit(f"centernet_to_onnx: only spatial means are supported ({node['name']})")
        self.emit("GlobalAveragePool", [x], node["name"], (self.shapes[x][0], 1, 1))

    def op_ResizeBilinear(self, node):
        attrs = node.get("attr", {})
        if attrs.get("align_corners", {}).get("b") or attrs.get("half_pixel_centers", {}).get("b"):
            sys.exit(f"centernet_to_onnx: only the legacy (asymmetric) resize is supported ({node['name']})")
        x = self.name(node["input"][0])
        c, h, w = self.shapes[x]
        out_h, out_w = (int(v) for v in self.const(node["input"][1]))
        scales = np.array([1, 1, out_h / h, out_w / w], dtype=np.float32)
        roi = self.add_initializer(node["name"] + "/roi", np.zeros([0], np.float32))
        scales = self.add_initializer(node["name"] + "/scales", scales)
        # "asymmetric" is what TensorFlow's legacy resize (no corner alignment, no half pixels) computes.
        self.emit("Resize", [x, roi, scales], node["name"], (c, out_h, out_w), mode="linear",
                  coordinate_transformation_mode="asymmetric")

    def op_ConcatV2(self, node):
        parts = [self.name(i) for i in node["input"][:-1]]
        axis = int(self.const(node["input"][-1])) % 4
        if axis != 3:
            sys.exit(f"centernet_to_onnx: only channel concatenation is supported ({node['name']})")
        _, h, w = self.shapes[parts[0]]
        self.emit("Concat", parts, node["name"], (sum(self.shapes[p][0] for p in parts), h, w), axis=1)


def check_schema(model):
    copy = onnx.ModelProto()
    copy.CopyFrom(model)
    for node in copy.graph.node:
        if node.op_type == "Clip":
            bounds = {a.name: a.f for a in node.attribute}
            del node.attribute[:]
            for key in ("min", "max"):
                name = node.name + "/" + key
                copy.graph.initializer.append(numpy_helper.from_array(np.array(bounds[key], np.float32), name))
                node.input.append(name)
    onnx.checker.check_model(copy)


def read_labels(labels_path):
    text = open(labels_path, encoding="utf-8").read()
    pairs = re.findall(r"class:\s*(\d+),\s*label:\s*'([^']*)'", text)
    labels = [label for _, label in sorted(pairs, key=lambda p: int(p[0]))]
    if [int(c) for c, _ in sorted(pairs, key=lambda p: int(p[0]))] != list(range(1, len(labels) + 1)):
        sys.exit("centernet_to_onnx: class numbers in the label list are not 1..n")
    return labels


def main(model_path, labels_path, out_onnx, out_labels):
    graph = json.load(open(model_path))
    converter = Converter(graph, read_weights(model_path, graph))
    channels, height, width = converter.convert(HEATMAP)
    labels = read_labels(labels_path)
    if channels != len(labels):
        sys.exit(f"centernet_to_onnx: {channels} heatmap channels but {len(labels)} labels")

    c, h, w = converter.shapes["images"]
    inputs = [helper.make_tensor_value_info("images", TensorProto.FLOAT, [1, c, h, w])]
    outputs = [helper.make_tensor_value_info("keypoints", TensorProto.FLOAT, [1, channels, height, width])]
    model = helper.make_model(
        helper.make_graph(converter.onnx_nodes, "centernet_heatmap", inputs, outputs, converter.initializers),
        opset_imports=[helper.make_opsetid("", 11)], producer_name="glimmerdeck-tools")
    model.ir_version = 6
    check_schema(model)

    # Written beside and then renamed, so a failed run never leaves a half file behind.
    onnx.save(model, out_onnx + ".part")
    with open(out_labels + ".part", "w", encoding="utf-8") as f:
        # Identifiers carry "_" for blanks ("cell_phone"), one per heatmap channel.
        f.write("".join(label.replace(" ", "_") + "\n" for label in labels))
    os.replace(out_onnx + ".part", out_onnx)
    os.replace(out_labels + ".part", out_labels)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
