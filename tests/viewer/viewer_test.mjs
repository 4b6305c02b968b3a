// The pyramid layouts in a real viewer: OpenSeadragon in headless Chromium shows a known region
// of each pyramid `tavmor pyramid` wrote, at two zoom levels, and the screenshot is compared
// with the same region of the source shrunk here by plain box averaging.
//
// Usage: node viewer_test.mjs TAVMOR_BINARY OUTPUT_FOLDER
// Exits 0 when every view matches, 1 when one does not, 77 (skipped) when Chromium, npm or the
// npm registry is out of reach.
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { decodePng, encodePng } from './png.mjs';

const kSkip = 77;
const here = path.dirname(fileURLToPath(import.meta.url));
const [tavmor, outFolder] = process.argv.slice(2);
const kChromium = '/usr/bin/chromium';
const kViewerWidth = 512;
const kViewerHeight = 384;

function skip(reason) {
    console.log(`SKIPPED: ${reason}`);
    process.exit(kSkip);
}

if (!tavmor || !outFolder) {
    console.error('Usage: node viewer_test.mjs TAVMOR_BINARY OUTPUT_FOLDER');
    process.exit(2);
}
if (!fs.existsSync(kChromium)) {
    skip(`${kChromium} is missing (Debian package chromium)`);
}

// The viewer and the browser driver come from the npm registry into the ignored node_modules.
function installPackages() {
    const wanted = JSON.parse(fs.readFileSync(path.join(here, 'package.json'))).dependencies;
    const installed = Object.entries(wanted).every(([name, version]) => {
        const file = path.join(here, 'node_modules', name, 'package.json');
        return fs.existsSync(file) && JSON.parse(fs.readFileSync(file)).version === version;
    });
    if (installed) {
        return;
    }
    const npm = spawnSync('npm', ['install', '--no-audit', '--no-fund', '--no-save'], {
        cwd: here, encoding: 'utf8',
    });
    if (npm.error || npm.status !== 0) {
        skip(`npm install failed: ${npm.error ? npm.error.message : npm.stderr.trim()}`);
    }
}
installPackages();
const { chromium } = await import('playwright-core');

// The source: smooth colour waves over a checkerboard of 64-pixel squares, so that a shift of a
// pixel, a swapped tile or a wrong level all show, while JPEG keeps it well.
const kWidth = 3000;
const kHeight = 2000;
function sourceImage() {
    const rgb = Buffer.alloc(kWidth * kHeight * 3);
    for (let y = 0; y < kHeight; y++) {
        for (let x = 0; x < kWidth; x++) {
            const i = (y * kWidth + x) * 3;
            const square = ((x >> 6) + (y >> 6)) & 1;
            rgb[i] = Math.round(128 + 100 * Math.sin(x / 97 + y / 211));
            rgb[i + 1] = Math.round(128 + 100 * Math.cos(y / 83 - x / 301));
            rgb[i + 2] = square ? 200 : 60;
        }
    }
    return rgb;
}

/** The region (x, y) of the source shrunk by `factor`: each pixel the mean of its block. */
function shrunk(source, x0, y0, width, height, factor) {
    const rgb = Buffer.alloc(width * height * 3);
    for (let y = 0; y < height; y++) {
        for (let x = 0; x < width; x++) {
            for (let c = 0; c < 3; c++) {
                let sum = 0;
                for (let dy = 0; dy < factor; dy++) {
                    for (let dx = 0; dx < factor; dx++) {
                        const sx = x0 + x * factor + dx;
                        const sy = y0 + y * factor + dy;
                        sum += source[(sy * kWidth + sx) * 3 + c];
                    }
                }
                rgb[(y * width + x) * 3 + c] = Math.round(sum / (factor * factor));
            }
        }
    }
    return { width, height, rgb };
}

/** Mean absolute differences between actual and expected moved by -2 to 2 pixels each way,
 * over the part both cover; index 12 is the unmoved one. */
function shiftedMeans(expected, actual) {
    const means = [];
    const { width, height } = expected;
    for (let sy = -2; sy <= 2; sy++) {
        for (let sx = -2; sx <= 2; sx++) {
            let sum = 0;
            let count = 0;
            for (let y = 2; y < height - 2; y++) {
                for (let x = 2; x < width - 2; x++) {
                    const a = (y * width + x) * 3;
                    const e = ((y + sy) * width + x + sx) * 3;
                    for (let c = 0; c < 3; c++) {
                        sum += Math.abs(actual.rgb[a + c] - expected.rgb[e + c]);
                    }
                    count += 3;
                }
            }
            means.push(sum / count);
        }
    }
    return means;
}

function serve(root) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.json': 'application/json',
        '.dzi': 'application/xml', '.jpg': 'image/jpeg', '.png': 'image/png',
        '.webp': 'image/webp' };
    const server = http.createServer((request, response) => {
        const url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
        const file = url === '/view.html' ? path.join(here, 'view.html')
            : url.startsWith('/osd/')
            ? path.join(here, 'node_modules/openseadragon/build/openseadragon', url.slice(5))
            : path.join(root, url);
        fs.readFile(file, (error, data) => {
            if (error) {
                response.writeHead(404);
                response.end();
                return;
            }
            response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
            response.end(data);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tavmor-viewer-'));
fs.mkdirSync(outFolder, { recursive: true });
let failures = 0;
let browser;
let server;
try {
    const source = sourceImage();
    const input = path.join(work, `src_${kWidth}X${kHeight}.raw`);
    fs.writeFileSync(input, source);

    // What a view must show. JPEG at quality 75 (and lossy WebP) moves the samples of this
    // picture by 1 to 5 on average, most of it next to the squares' hard edges, where ringing
    // and chroma at half resolution reach 40 and more; the browser may draw a tile a fraction
    // of a pixel off, which blurs an edge by one more pixel. So a lossy view passes with a mean
    // absolute difference of at most 6 over all samples and at most 4 % of them beyond 48 (the
    // edges' share of a quarter view is about 12 %); a wrong level, a missing or misplaced tile
    // or a colour swap costs tens. OpenSeadragon's canvas drawer also draws tiles without
    // overlap (IIIF's) one pixel larger than they are, against seams, which moves some edges of
    // a IIIF view by a pixel (a mean of about 1 at full size, 3.7 at a quarter, with lossless
    // tiles). Lossless PNG tiles with Deep Zoom's overlap leave only the 2 x 2 rounding and the
    // browser's resampling: a mean of at most 1.5. Those means cannot see a shift by a pixel,
    // which costs about as much as JPEG's error: the region's place is checked apart, as the
    // expected picture matching better than any copy of it moved by one or two pixels.
    const cases = [
        { layout: 'dzi', suffix: '.jpg', source: 'pano.dzi', mean: 6 },
        { layout: 'iiif', suffix: '.jpg', source: 'pano/info.json', mean: 6 },
        { layout: 'dzi', suffix: '.png', source: 'pano.dzi', mean: 1.5 },
        { layout: 'iiif', suffix: '.webp', source: 'pano/info.json', mean: 6 },
    ];
    // Two zoom levels: a quarter (the level two halvings down) and full size, each region
    // straddling tile borders.
    const views = [
        { name: 'quarter', x: 400, y: 200, factor: 4 },
        { name: 'full', x: 1230, y: 890, factor: 1 },
    ];

    browser = await chromium.launch({
        executablePath: kChromium,
        headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    for (const c of cases) {
        const site = path.join(work, `${c.layout}-${c.suffix.slice(1)}`);
        fs.mkdirSync(site);
        execFileSync(tavmor, ['pyramid', input, '--layout', c.layout, '--suffix', c.suffix,
            '--out', site, '-o', 'pano', '--quiet'], { stdio: 'inherit' });
        server = await serve(site);
        const port = server.address().port;
        for (const v of views) {
            const label = `${c.layout}${c.suffix} ${v.name}`;
            const page = await browser.newPage({
                viewport: { width: kViewerWidth, height: kViewerHeight }, deviceScaleFactor: 1,
            });
            const w = kViewerWidth * v.factor;
            const h = kViewerHeight * v.factor;
            await page.goto(`http://127.0.0.1:${port}/view.html?source=${c.source}`
                + `&x=${v.x}&y=${v.y}&w=${w}&h=${h}`);
            await page.waitForFunction(() => window.viewerState !== 'opening', null,
                { timeout: 30000 });
            const state = await page.evaluate(() => window.viewerState);
            const failed = await page.evaluate(() => window.failedTiles);
            const shot = await page.screenshot({ type: 'png' });
            await page.close();
            const file = `${c.layout}-${c.suffix.slice(1)}-${v.name}`;
            fs.writeFileSync(path.join(outFolder, `${file}.png`), shot);
            const expected = shrunk(source, v.x, v.y, kViewerWidth, kViewerHeight, v.factor);
            fs.writeFileSync(path.join(outFolder, `${file}-expected.png`), encodePng(expected));
            const actual = decodePng(shot);
            let sum = 0;
            let far = 0;
            for (let i = 0; i < expected.rgb.length; i++) {
                const d = Math.abs(expected.rgb[i] - actual.rgb[i]);
                sum += d;
                far += d > 48 ? 1 : 0;
            }
            const mean = sum / expected.rgb.length;
            const farShare = far / expected.rgb.length;
            const shifts = shiftedMeans(expected, actual);
            const placed = shifts.every((m, i) => i === 12 || m > shifts[12]);
            const ok = state === 'ready' && failed.length === 0 && mean <= c.mean
                && farShare <= 0.04 && placed;
            console.log(`${ok ? 'ok  ' : 'FAIL'} ${label}: ${state}, ${failed.length} tiles failed,`
                + ` mean difference ${mean.toFixed(2)} (<= ${c.mean}),`
                + ` ${(farShare * 100).toFixed(2)} % beyond 48 (<= 4 %),`
                + ` ${placed ? 'in place' : 'MOVED'} (moved copies: mean >= `
                + `${Math.min(...shifts.filter((m, i) => i !== 12)).toFixed(2)})`);
            failures += ok ? 0 : 1;
        }
        server.close();
        server = undefined;
    }
} finally {
    if (server) {
        server.close();
    }
    if (browser) {
        await browser.close();
    }
    fs.rmSync(work, { recursive: true, force: true });
}
console.log(`${8 - failures} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
