// Writes the seed corpus of the fuzzers: small WAV and XI files, well-formed
// ones of every kind the readers take and malformed ones near each rule they
// apply. All files are made here from synthetic signals.
// Usage: fuzz_make_seeds <output-folder>
#include "SampleBytes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace SampleBytes;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output-folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int written = 0;
    auto save = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
        ++written;
    };

    // Well-formed WAV files: widths, channel counts, rates, loops.
    save("mono16.wav", Wav(3000, 1, 2, 8000));
    save("mono8.wav", Wav(3000, 1, 1, 11025));
    save("stereo16.wav", Wav(1500, 2, 2, 22050));
    save("stereo8.wav", Wav(2500, 2, 1, 16000));
    save("mono16_44k.wav", Wav(2100, 1, 2, 44100));
    save("mono16_96k.wav", Wav(1000, 1, 2, 96000));
    save("smpl_loop.wav", Riff({Fmt(1, 1, 8000, 2, 16), Smpl(72, 1, 300, 2500), PcmData(3000, 1, 2, 8000)}));
    save("smpl_noloop.wav", Riff({Fmt(1, 1, 8000, 2, 16), Smpl(48, 0, 0, 0), PcmData(800, 1, 2, 8000)}));
    save("loop_chunk.wav", Riff({Fmt(1, 2, 8000, 4, 16), PcmData(1200, 2, 2, 8000), LoopChunk(100, 1100)}));
    save("loop_and_smpl.wav",
         Riff({Fmt(1, 1, 8000, 1, 8), LoopChunk(10, 20), Smpl(60, 2, 200, 700), PcmData(900, 1, 1, 8000)}));
    save("loop_past_end.wav", Riff({Fmt(1, 1, 8000, 2, 16), Smpl(60, 1, -50, 90000), PcmData(600, 1, 2, 8000)}));
    save("odd_chunk.wav", Riff({Fmt(1, 1, 8000, 2, 16), Chunk("LIST", Bytes{1, 2, 3}), PcmData(500, 1, 2, 8000)}));
    save("fmt18.wav", Riff({Fmt(1, 1, 8000, 2, 16, 18), PcmData(400, 1, 2, 8000)}));
    save("wide_align.wav", Riff({Fmt(1, 1, 8000, 3, 16), PcmData(300, 1, 2, 8000)}));
    save("two_data.wav", Riff({Fmt(1, 1, 8000, 2, 16), PcmData(100, 1, 2, 8000), PcmData(300, 1, 2, 8000)}));
    save("ends_early.wav", Riff({Fmt(1, 1, 8000, 2, 16), PcmData(200, 1, 2, 8000)}, 500));
    save("no_frames.wav", Riff({Fmt(1, 1, 8000, 2, 16), Chunk("data", {})}));
    save("riff_size4.wav", Riff({Fmt(1, 1, 8000, 2, 16), PcmData(100, 1, 2, 8000)}, -1000));
    save("low_rate.wav", Wav(200, 1, 2, 50));
    save("zero_rate.wav", Wav(200, 1, 2, 0));
    save("huge_rate.wav", Wav(200, 1, 2, 0x7fffffff));

    // Wider and floating-point samples, plain and extensible headers.
    save("mono24.wav", Riff({Fmt(1, 1, 44100, 3, 24), PcmData(701, 1, 3, 44100), Smpl(60, 1, 100, 600)}));
    save("stereo24.wav", Riff({Fmt(1, 2, 48000, 6, 24), PcmData(500, 2, 3, 48000)}));
    save("stereo32.wav", Riff({Fmt(1, 2, 22050, 8, 32), PcmData(400, 2, 4, 22050)}));
    save("float32.wav", Riff({Fmt(3, 1, 44100, 4, 32, 18), Chunk("fact", Bytes{0x58, 2, 0, 0}),
                              Chunk("PEAK", Bytes(16, 0)), PcmData(600, 1, 4, 44100, true)}));
    save("float64.wav", Riff({Fmt(3, 2, 48000, 16, 64), PcmData(300, 2, 8, 48000, true)}));
    save("ext24.wav", Riff({Chunk("fmt ", ExtensibleFmtBody(2, 44100, 24, 24)), PcmData(500, 2, 3, 44100)}));
    save("ext20in24.wav", Riff({Chunk("fmt ", ExtensibleFmtBody(1, 44100, 24, 20)), PcmData(501, 1, 3, 44100)}));
    save("ext24in32.wav", Riff({Chunk("fmt ", ExtensibleFmtBody(1, 96000, 32, 24)), PcmData(400, 1, 4, 96000)}));
    save("ext_float.wav", Riff({Chunk("fmt ", ExtensibleFmtBody(1, 44100, 32, 32, 3)), PcmData(400, 1, 4, 44100, true)}));
    save("ext16.wav", Riff({Chunk("fmt ", ExtensibleFmtBody(1, 8000, 16, 16)), PcmData(900, 1, 2, 8000)}));
    {
        // Chunks a save keeps, an odd one with its pad byte, a smpl chunk
        // with two loops and sampler data.
        Bytes smpl = Smpl(62, 2, 50, 700, 84 + 4);
        smpl[8 + 32] = 4;
        Bytes list = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0});
        Bytes odd = Chunk("abcd", Bytes{1, 2, 3});
        odd.push_back(0);
        save("kept_chunks.wav", Riff({Chunk("JUNK", Bytes(12, 0)), Fmt(1, 1, 22050, 2, 16), list,
                                      Chunk("cue ", Bytes(28, 1)), odd, smpl, PcmData(900, 1, 2, 22050),
                                      Chunk("inst", Bytes{60, 0, 0, 0, 127, 1, 127, 0})}));
        Bytes oddData = PcmData(301, 1, 1, 8000);
        oddData.push_back(0);
        save("odd_data_padded.wav", Riff({Fmt(1, 1, 8000, 1, 8), oddData, Chunk("LIST", Bytes(4, 2))}));
    }

    // Malformed WAV files, one rule each.
    save("short_fmt.wav", Riff({Fmt(1, 1, 8000, 2, 16, 12), PcmData(100, 1, 2, 8000)}));
    save("short_smpl.wav", Riff({Fmt(1, 1, 8000, 2, 16), Smpl(60, 1, 10, 50, 40), PcmData(100, 1, 2, 8000)}));
    save("short_loop.wav", Riff({Fmt(1, 1, 8000, 2, 16), Chunk("loop", Bytes{1, 0, 0}), PcmData(100, 1, 2, 8000)}));
    save("data_first.wav", Riff({PcmData(100, 1, 2, 8000), Fmt(1, 1, 8000, 2, 16)}));
    save("no_fmt.wav", Riff({PcmData(100, 1, 2, 8000)}));
    save("float.wav", Riff({Fmt(3, 1, 8000, 4, 32), PcmData(100, 1, 2, 8000)}));
    save("extensible.wav", Riff({Fmt(0xFFFE, 2, 8000, 4, 16, 40), PcmData(100, 2, 2, 8000)}));
    save("three_channels.wav", Riff({Fmt(1, 3, 8000, 6, 16), PcmData(100, 3, 2, 8000)}));
    save("zero_channels.wav", Riff({Fmt(1, 0, 8000, 2, 16), PcmData(100, 1, 2, 8000)}));
    save("24bit.wav", Riff({Fmt(1, 1, 8000, 3, 24), Chunk("data", Bytes(300, 7))}));
    save("zero_align.wav", Riff({Fmt(1, 1, 8000, 0, 16), PcmData(100, 1, 2, 8000)}));
    save("compressed.wav", Riff({Fmt(2, 1, 8000, 256, 4), PcmData(100, 1, 2, 8000)}));
    save("float16.wav", Riff({Fmt(3, 1, 8000, 2, 16), PcmData(100, 1, 2, 8000)}));
    save("five_bytes.wav", Riff({Fmt(1, 1, 8000, 5, 40), Chunk("data", Bytes(500, 3))}));
    save("odd_align.wav", Riff({Fmt(1, 2, 8000, 5, 24), PcmData(100, 2, 2, 8000)}));
    save("fmt_after_data.wav", Riff({Fmt(1, 1, 8000, 2, 16), PcmData(100, 1, 2, 8000), Fmt(1, 2, 8000, 4, 16)}));
    {
        auto extensible = [&](const char* name, auto edit) {
            Bytes body = ExtensibleFmtBody(2, 44100, 24, 24);
            edit(body);
            save(name, Riff({Chunk("fmt ", body), PcmData(100, 2, 3, 44100)}));
        };
        extensible("ext_short.wav", [](Bytes& b) { b.resize(39); });
        extensible("ext_cbsize.wav", [](Bytes& b) { b[16] = 10; });
        extensible("ext_guid.wav", [](Bytes& b) { b[30] = 0x11; });
        extensible("ext_subformat.wav", [](Bytes& b) { b[24] = 0x55; });
        extensible("ext_valid_bits.wav", [](Bytes& b) { b[18] = 32; });
        extensible("ext_block_align.wav", [](Bytes& b) { b[12] = 4; });
        extensible("ext_container.wav", [](Bytes& b) { b[14] = 12; });
    }
    {
        Bytes cut = Wav(300, 1, 2, 8000);
        cut.resize(cut.size() - 100);
        save("cut_body.wav", cut);
        Bytes huge = Riff({Fmt(1, 1, 8000, 2, 16)});
        Put(huge, "data");
        Put32(huge, 0xFFFFFFF0u);
        Append(huge, Bytes(64, 1));
        save("huge_data_size.wav", huge);
    }
    save("not_wave.wav", [] {
        Bytes b = Wav(10, 1, 2, 8000);
        b[8] = 'A';
        return b;
    }());
    save("riff_only.wav", Bytes{'R', 'I', 'F', 'F'});
    save("lower_riff.wav", Bytes{'r', 'i', 'f', 'f', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    save("three_bytes", Bytes{'R', 'I', 'F'});

    // Well-formed XI instruments.
    save("one16.xi", Xi({XITone(1500, true, 1, 200, 1200, -12)}));
    save("one8.xi", Xi({XITone(1800, false, 0, 0, 0, 5)}));
    save("pingpong.xi", Xi({XITone(1000, true, 2, 100, 900)}));
    save("loop_type3.xi", Xi({XITone(600, false, 3, 10, 500)}));
    {
        XISample empty;
        empty.length = 0;
        save("three_samples.xi", Xi({empty, XITone(500, true, 1, 50, 450), XITone(500, false, 0, 0, 0)}));
        save("third_only.xi", Xi({empty, empty, XITone(700, true, 1, 0, 700, 12)}));
        save("many_samples.xi", Xi({XITone(60, false, 0, 0, 0), XITone(70, true, 0, 0, 0), XITone(80, false, 1, 5, 60),
                                    XITone(90, true, 2, 9, 80), XITone(100, false, 0, 0, 0), empty,
                                    XITone(50, true, 1, 10, 40)}));
        save("no_samples.xi", Xi({}));
        save("only_empty.xi", Xi({empty, empty}));
        save("negative_count.xi", Xi({XITone(100, true, 0, 0, 0)}, -3));
        XISample odd = XITone(301, true, 1, 20, 280);
        odd.length -= 1;
        save("odd16.xi", Xi({odd, XITone(40, false, 0, 0, 0)}));
        XISample negative = XITone(100, true, 0, 0, 0);
        negative.length = -200;
        save("negative_length.xi", Xi({negative, XITone(100, false, 1, 1, 90)}));
        XISample hugeLoop = XITone(200, true, 1, 0, 0);
        hugeLoop.loopStart = 0x7ffffff0;
        hugeLoop.loopLength = 0x7ffffff0;
        save("huge_loop.xi", Xi({hugeLoop}));
    }

    // Malformed XI instruments.
    save("short_header.xi", Xi({XITone(100, true, 0, 0, 0)}, kCountFromSamples, 200));
    save("cut_headers.xi", Xi({XITone(100, true, 0, 0, 0), XITone(100, true, 0, 0, 0)}, kCountFromSamples, 298 + 50));
    save("cut_data.xi", Xi({XITone(1000, true, 1, 0, 1000)}, kCountFromSamples, 298 + 40 + 500));
    save("count_past_end.xi", Xi({XITone(100, true, 0, 0, 0)}, 300));
    {
        XISample huge = XITone(10, true, 0, 0, 0);
        huge.length = 0x7ffffffe;
        save("huge_length.xi", Xi({huge}));
    }
    save("exte_only.xi", Bytes{'E', 'x', 't', 'e'});

    // Loop tables as apply-loops reads them: CSV, and JSON on a line per file
    // or spread out in an array.
    const auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    save("table.csv", text("file,loop,start,end,type\n\"a,\"\"b\"\".wav\",1,10,90,forward\n"
                           "a.wav,2,20,80,alternating\na.wav,release,95,,\n"));
    save("table.json", text("{\"path\":\"a\\\"b\\u0001.wav\",\"loops\":[{\"start\":10,\"end\":90,\"type\":\"forward\"}],"
                            "\"release\":95}\n{\"path\":\"c.wav\",\"loops\":[],\"release\":null}\n"));
    save("table_array.json", text("[\n  {\n    \"path\": \"a.wav\",\n    \"loops\": [\n      {\"start\": 1, \"end\": 2, "
                                  "\"type\": 1}\n    ]\n  }\n]\n"));

    std::printf("%d seed files in %s\n", written, dir.string().c_str());
    return 0;
}
