// Just enough PNG for the viewer test: reading the browser's screenshots (8-bit RGB or RGBA,
// not interlaced) and writing RGB images to look at beside them.
import zlib from 'node:zlib';

const kSignature = Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]);

const kCrcTable = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; n++) {
        let c = n;
        for (let k = 0; k < 8; k++) {
            c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        }
        table[n] = c >>> 0;
    }
    return table;
})();

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) {
        c = kCrcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    }
    return (c ^ 0xffffffff) >>> 0;
}

function paeth(a, b, c) {
    const p = a + b - c;
    const pa = Math.abs(p - a);
    const pb = Math.abs(p - b);
    const pc = Math.abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

/** Decodes a PNG into { width, height, rgb } (alpha dropped). */
export function decodePng(file) {
    if (!file.subarray(0, 8).equals(kSignature)) {
        throw new Error('not a PNG');
    }
    let width = 0;
    let height = 0;
    let channels = 0;
    const data = [];
    for (let at = 8; at < file.length;) {
        const length = file.readUInt32BE(at);
        const type = file.toString('latin1', at + 4, at + 8);
        const body = file.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            const depth = body[8];
            const colour = body[9];
            if (depth !== 8 || (colour !== 2 && colour !== 6) || body[12] !== 0) {
                throw new Error(`unsupported PNG: depth ${depth}, colour ${colour}`);
            }
            channels = colour === 6 ? 4 : 3;
        } else if (type === 'IDAT') {
            data.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let i = 0; i < stride; i++) {
            const a = i >= channels ? pixels[y * stride + i - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
            const c = i >= channels && y > 0 ? pixels[(y - 1) * stride + i - channels] : 0;
            const predictor = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter];
            pixels[y * stride + i] = (line[i] + predictor) & 0xff;
        }
    }
    const rgb = Buffer.alloc(width * height * 3);
    for (let p = 0; p < width * height; p++) {
        pixels.copy(rgb, p * 3, p * channels, p * channels + 3);
    }
    return { width, height, rgb };
}

function chunk(type, body) {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(body.length, 0);
    head.write(type, 4, 'latin1');
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), body])), 0);
    return Buffer.concat([head, body, crc]);
}

/** Encodes { width, height, rgb } as a PNG. */
export function encodePng({ width, height, rgb }) {
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;
    header[9] = 2;
    const raw = Buffer.alloc((width * 3 + 1) * height);
    for (let y = 0; y < height; y++) {
        rgb.copy(raw, y * (width * 3 + 1) + 1, y * width * 3, (y + 1) * width * 3);
    }
    return Buffer.concat([kSignature, chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(raw)),
        chunk('IEND', Buffer.alloc(0))]);
}
